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
  // chart, and a chapter test also one of its chapter's. The chapter's name
  // comes with the row; 题目类别 is looked up for chapter tests only.
  TADOQuery q(dm.ADOConnection1, QStringLiteral("History"));
  q.SQL.Add(QStringLiteral("SELECT r.答对,r.试题数,r.测试类型,r.所属章节,r.测试时间,r.测试名称,c.编号,c.名称"));
  q.SQL.Add(QStringLiteral(" FROM 测试结果 r LEFT JOIN 题目类别 c ON r.测试类型=1 AND c.编号=r.所属章节"));
  q.SQL.Add(QStringLiteral(" ORDER BY r.编号"));
  History h;
  std::map<qint64, std::size_t> chapterAt; // chapter number -> its place in h.chapters
  q.OpenForward([&](const TForwardRow &row) {
    TestPoint p;
    p.accuracy = TestAccuracy(row.LargeInt(0), row.LargeInt(1));
    p.time = QString::fromUtf8(row.Utf8(4));
    p.name = QString::fromUtf8(row.Utf8(5));
    const int index = int(h.tests.size());
    h.tests.push_back(std::move(p));
    if (row.LargeInt(2) != 1 || row.Fields(3).IsNull())
      return;
    const qint64 chapter = row.LargeInt(3);
    auto at = chapterAt.find(chapter);
    if (at == chapterAt.end()) {
      at = chapterAt.emplace(chapter, h.chapters.size()).first;
      h.chapters.emplace_back();
      h.chapters.back().chapterId = chapter;
      h.chapters.back().caption = QString::fromUtf8(row.Utf8(7));
    }
    // A test of a chapter that is gone cannot be told from one of another
    // bank's chapter of that number: its page stays empty.
    if (row.Fields(6).IsNull())
      return;
    ChapterSeries &s = h.chapters[at->second];
    s.points.push_back(h.tests.back().accuracy);
    s.tests.push_back(index);
  });
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
