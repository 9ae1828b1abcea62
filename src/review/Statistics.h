#pragma once
// The accuracy of the stored tests as the statistics window charts it: one
// series over every test record, and one per chapter over the chapter
// practice tests (kind 1) of that chapter. The history is read once, by one
// statement; nothing is written.

#include <QString>
#include <QtGlobal>
#include <vector>

class TDataModule1;

// The count-based share of a test in percent: 答对 / 试题数 × 100 in single
// precision, 0 when 试题数 is 0. (Not the stored 正确率, a share of marks.)
float TestAccuracy(qint64 right, qint64 count);

// One stored test as a point of the charts.
struct TestPoint {
  float accuracy = 0; // TestAccuracy
  QString time;       // 测试时间 as stored
  QString name;       // 测试名称
};

struct ChapterSeries {
  qint64 chapterId = 0;
  QString caption;           // the chapter's 名称; empty when it no longer exists
  std::vector<float> points; // one per test, in record order; none when the chapter is gone
  std::vector<int> tests;    // index-aligned with points: each test's place in History::tests
};

struct History {
  std::vector<TestPoint> tests;        // every test record, in record order (all kinds)
  std::vector<ChapterSeries> chapters; // the chapters of kind-1 tests, ascending
};

// The whole history in one read. Tests whose 所属章节 is empty belong to no
// chapter and are left out of the chapters; a chapter that is no longer in
// the tree keeps its page, without points.
History ReadHistory(TDataModule1 &dm);

// Every test record's accuracy, in record order (all kinds).
std::vector<float> OverallAccuracy(TDataModule1 &dm);
// The chapters of kind-1 tests in ascending chapter number, each with its
// tests' accuracies.
std::vector<ChapterSeries> ChapterAccuracy(TDataModule1 &dm);

// The bottom axis of a chart with `points` points: 0 to 24, or to
// points − 1 when there are at least 2.
int BottomAxisMax(int points);

// The interval between axis labels for values 0..`max` on an axis `pixels`
// long whose labels need `labelPixels` each: the smallest of 1, 2, 5, 10,
// 20, 50 … (never below `minStep`) whose labels do not overlap.
int LabelStep(int max, int pixels, int labelPixels, int minStep = 1);

// The points that draw the same line as all of `values` on `columns` pixel
// columns: every point while there are at most two per column, otherwise
// the first, lowest, highest and last of each column's run, in order.
// Indexes into `values`.
std::vector<int> ShapeOfLine(const std::vector<float> &values, int columns);

// A point's value label: at most one decimal, none when it rounds to a
// whole number (57.1429 → "57.1", 75 → "75", 99.96 → "100").
QString PointLabel(double percent);

// The date of a stored 测试时间 ("2026-01-02 03:04:05", or unpadded as
// "2010-2-16 15:40:29") for an axis label: "01-02", or "2026-01-02" when
// `withYear`. A text that is no date comes back as its first 10 characters.
QString DateLabel(const QString &time, bool withYear);
