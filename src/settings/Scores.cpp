#include "settings/Scores.h"
#include "common/AppError.h"
#include "store/DM.h"
#include "store/Transaction.h"

#include <QRegularExpression>
#include <cmath>

namespace {

const QRegularExpression &decimalPattern() {
  static const QRegularExpression re(QStringLiteral("^\\s*([+-]?)(\\d*)(?:\\.(\\d*))?\\s*$"));
  return re;
}

// The text as an integer count of 10^-scale, exactly.
std::optional<std::pair<qint64, int>> scaled(const QString &text) {
  const QRegularExpressionMatch m = decimalPattern().match(text);
  if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(3).isEmpty()))
    return std::nullopt;
  QString frac = m.captured(3);
  while (frac.size() > 1 && frac.endsWith(QLatin1Char('0')))
    frac.chop(1);
  if (m.captured(2).size() + frac.size() > 17)
    return std::nullopt;
  bool ok = false;
  qint64 v = (m.captured(2) + frac).toLongLong(&ok);
  if (!ok && !(m.captured(2) + frac).isEmpty())
    return std::nullopt;
  if (m.captured(1) == QLatin1String("-"))
    v = -v;
  return std::make_pair(v, int(frac.size()));
}

QString scoreShown(double v) {
  if (std::fabs(v * 10 - std::round(v * 10)) < 1e-9)
    return QString::number(v, 'f', 1);
  return QString::number(v, 'g', 15);
}

} // namespace

bool IsScoreText(const QString &text) { return scaled(text).has_value(); }

std::optional<QString> StepScore(const QString &text, int direction) {
  const auto s = scaled(text);
  if (!s)
    return std::nullopt;
  qint64 unit = 1;
  for (int i = 0; i < s->second; ++i)
    unit *= 10;
  const qint64 v = s->first + direction * unit;
  if ((direction > 0 && v > 100 * unit) || (direction < 0 && v < 0))
    return std::nullopt;
  // Tenths, a half away from zero.
  const qint64 magnitude = v < 0 ? -v : v;
  qint64 tenths = magnitude * 10;
  if (s->second >= 1) {
    const qint64 div = unit / 10;
    tenths = (magnitude + div / 2) / div;
  }
  return (v < 0 && tenths != 0 ? QStringLiteral("-") : QString()) + QString::number(tenths / 10) +
         QLatin1Char('.') + QString::number(tenths % 10);
}

std::vector<TypeScore> ReadTypeScores(TDataModule1 &dm) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("TypeScores"));
  q.SQL.Add(QStringLiteral("SELECT ID,题目类型,分数 FROM 类型说明"));
  q.Open();
  std::vector<TypeScore> out;
  for (q.First(); !q.Eof(); q.Next())
    out.push_back({q.Fields(0).AsLargeInt(), q.Fields(1).AsString(),
                   q.Fields(2).IsNull() ? ScoreText::Default : scoreShown(q.Fields(2).AsFloat())});
  return out;
}

void StoreTypeScores(TDataModule1 &dm, const std::vector<TypeScore> &scores) {
  Transaction t(dm);
  TADOQuery q(dm.ADOConnection1, QStringLiteral("StoreScores"));
  q.SQL.Add(QStringLiteral("UPDATE 类型说明 SET 分数=? WHERE ID=?"));
  for (const TypeScore &s : scores) {
    if (!IsScoreText(s.score))
      throw AppError(QStringLiteral("“%1”的分数“%2”不是有效的数值").arg(s.type.trimmed(), s.score));
    q.execSQLWith({s.score.trimmed().toDouble(), s.id});
  }
  t.commit();
}
