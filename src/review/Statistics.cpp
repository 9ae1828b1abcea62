#include "review/Statistics.h"
#include "store/DM.h"

#include <algorithm>

float TestAccuracy(qint64 right, qint64 count) {
  if (count == 0)
    return 0.0f;
  return float(right) / float(count) * 100.0f;
}

std::vector<float> OverallAccuracy(TDataModule1 &dm) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("OverallAccuracy"));
  q.SQL.Add(QStringLiteral("SELECT 答对,试题数 FROM 测试结果 ORDER BY 编号"));
  q.Open();
  std::vector<float> points;
  points.reserve(std::size_t(q.RecordCount()));
  for (q.First(); !q.Eof(); q.Next())
    points.push_back(TestAccuracy(q.Fields(0).AsLargeInt(), q.Fields(1).AsLargeInt()));
  return points;
}

std::vector<ChapterSeries> ChapterAccuracy(TDataModule1 &dm) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("ChapterAccuracy"));
  q.SQL.Add(QStringLiteral("SELECT 测试结果.所属章节,题目类别.名称,题目类别.编号,测试结果.答对,测试结果.试题数"));
  q.SQL.Add(QStringLiteral(" FROM 测试结果 LEFT JOIN 题目类别 ON 题目类别.编号=测试结果.所属章节"));
  q.SQL.Add(QStringLiteral(" WHERE 测试结果.测试类型=1 AND 测试结果.所属章节 IS NOT NULL"));
  q.SQL.Add(QStringLiteral(" ORDER BY 测试结果.所属章节,测试结果.编号"));
  q.Open();
  std::vector<ChapterSeries> out;
  for (q.First(); !q.Eof(); q.Next()) {
    const qint64 chapter = q.Fields(0).AsLargeInt();
    if (out.empty() || out.back().chapterId != chapter) {
      out.emplace_back();
      out.back().chapterId = chapter;
      out.back().caption = q.Fields(1).AsString();
    }
    // A chapter that is no longer in the tree keeps its page, without
    // points: its tests cannot be told apart from those of another bank.
    if (!q.Fields(2).IsNull())
      out.back().points.push_back(TestAccuracy(q.Fields(3).AsLargeInt(), q.Fields(4).AsLargeInt()));
  }
  return out;
}

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
