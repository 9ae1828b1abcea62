#include "review/Statistics.h"
#include "store/DM.h"

#include <algorithm>
#include <cmath>
#include <map>

float TestAccuracy(qint64 right, qint64 count) {
  if (count == 0)
    return 0.0f;
  return float(right) / float(count) * 100.0f;
}

History ReadHistory(TDataModule1 &dm) {
  // One walk of the records in 编号 order: each is a point of the overall
  // chart, and a chapter test also one of its chapter's.
  TADOQuery q(dm.ADOConnection1, QStringLiteral("History"));
  q.SQL.Add(QStringLiteral("SELECT 答对,试题数,测试类型,所属章节,测试时间,测试名称 FROM 测试结果 ORDER BY 编号"));
  History h;
  std::map<qint64, std::size_t> chapterAt; // chapter number -> its place in h.chapters
  q.OpenForward([&](const TForwardRow &row) {
    TestPoint p;
    p.accuracy = TestAccuracy(row.LargeInt(0), row.LargeInt(1));
    p.time = QString::fromUtf8(row.Utf8(4));
    p.name = QString::fromUtf8(row.Utf8(5));
    h.tests.push_back(std::move(p));
    if (row.LargeInt(2) != 1 || row.Fields(3).IsNull())
      return;
    const qint64 chapter = row.LargeInt(3);
    auto at = chapterAt.find(chapter);
    if (at == chapterAt.end()) {
      at = chapterAt.emplace(chapter, h.chapters.size()).first;
      h.chapters.emplace_back();
      h.chapters.back().chapterId = chapter;
    }
    ChapterSeries &s = h.chapters[at->second];
    s.points.push_back(h.tests.back().accuracy);
    s.tests.push_back(int(h.tests.size()) - 1);
  });
  if (h.chapters.empty())
    return h;
  // The chapters' names: one look-up in the tree for all of them (numbers
  // of our own read, written as digits).
  QStringList ids;
  for (const auto &c : chapterAt)
    ids << QString::number(c.first);
  TADOQuery names(dm.ADOConnection1, QStringLiteral("HistoryChapters"));
  names.SQL.Add(QStringLiteral("SELECT 编号,名称 FROM 题目类别 WHERE 编号 IN(") + ids.join(QLatin1Char(',')) +
                QLatin1Char(')'));
  std::vector<bool> found(h.chapters.size(), false);
  names.OpenForward([&](const TForwardRow &row) {
    const auto at = chapterAt.find(row.LargeInt(0));
    if (at == chapterAt.end())
      return;
    h.chapters[at->second].caption = QString::fromUtf8(row.Utf8(1));
    found[at->second] = true;
  });
  // A chapter that is gone keeps its page, without points: its tests cannot
  // be told from those of another bank's chapter of that number.
  for (std::size_t i = 0; i < h.chapters.size(); ++i)
    if (!found[i]) {
      h.chapters[i].points.clear();
      h.chapters[i].tests.clear();
    }
  std::sort(h.chapters.begin(), h.chapters.end(),
            [](const ChapterSeries &a, const ChapterSeries &b) { return a.chapterId < b.chapterId; });
  return h;
}

std::vector<float> OverallAccuracy(TDataModule1 &dm) {
  std::vector<float> points;
  for (const TestPoint &p : ReadHistory(dm).tests)
    points.push_back(p.accuracy);
  return points;
}

std::vector<ChapterSeries> ChapterAccuracy(TDataModule1 &dm) { return ReadHistory(dm).chapters; }

int BottomAxisMax(int points) { return points >= 2 ? points - 1 : 24; }

int LabelStep(int max, int pixels, int labelPixels, int minStep) {
  max = std::max(max, 1);
  labelPixels = std::max(labelPixels, 1);
  const int fits = std::max(pixels / labelPixels, 1); // labels that fit side by side
  static const int kMantissa[] = {1, 2, 5};
  for (qint64 scale = 1;; scale *= 10) {
    for (int m : kMantissa) {
      const qint64 step = m * scale;
      if (step < minStep)
        continue;
      if (max / step + 1 <= fits || step >= max)
        return int(step);
    }
  }
}

std::vector<int> ShapeOfLine(const std::vector<float> &values, int columns) {
  const qint64 n = qint64(values.size());
  columns = std::max(columns, 1);
  std::vector<int> out;
  if (n <= 2 * qint64(columns)) {
    out.resize(std::size_t(n));
    for (qint64 i = 0; i < n; ++i)
      out[std::size_t(i)] = int(i);
    return out;
  }
  out.reserve(std::size_t(columns) * 4);
  for (qint64 c = 0; c < columns; ++c) {
    const qint64 from = c * n / columns, to = (c + 1) * n / columns; // [from, to)
    if (from >= to)
      continue;
    qint64 low = from, high = from;
    for (qint64 i = from + 1; i < to; ++i) {
      if (values[std::size_t(i)] < values[std::size_t(low)])
        low = i;
      if (values[std::size_t(i)] > values[std::size_t(high)])
        high = i;
    }
    qint64 run[4] = {from, std::min(low, high), std::max(low, high), to - 1};
    for (qint64 i : run)
      if (out.empty() || out.back() < int(i))
        out.push_back(int(i));
  }
  return out;
}

QString PointLabel(double percent) {
  if (!std::isfinite(percent))
    return QString();
  double tenths = std::round(percent * 10.0);
  if (tenths == 0.0)
    tenths = 0.0; // never "-0"
  if (std::fmod(tenths, 10.0) == 0.0)
    return QString::number(tenths / 10.0, 'f', 0);
  return QString::number(tenths / 10.0, 'f', 1);
}

QString DateLabel(const QString &time, bool withYear) {
  const QString day = time.section(QLatin1Char(' '), 0, 0).trimmed();
  const QStringList parts = day.split(QLatin1Char('-'));
  bool okY = false, okM = false, okD = false;
  const int y = parts.size() == 3 ? parts[0].toInt(&okY) : 0;
  const int m = parts.size() == 3 ? parts[1].toInt(&okM) : 0;
  const int d = parts.size() == 3 ? parts[2].toInt(&okD) : 0;
  if (!okY || !okM || !okD || m < 1 || m > 12 || d < 1 || d > 31)
    return time.left(10);
  const QString md = QStringLiteral("%1-%2").arg(m, 2, 10, QLatin1Char('0')).arg(d, 2, 10, QLatin1Char('0'));
  return withYear ? QString::number(y) + QLatin1Char('-') + md : md;
}
