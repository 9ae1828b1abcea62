#pragma once
// The accuracy of the stored tests as the statistics window charts it: one
// series over every test record, and one per chapter over the chapter
// practice tests (kind 1) of that chapter. Read on query objects of its own;
// nothing is written.

#include <QString>
#include <QtGlobal>
#include <vector>

class TDataModule1;

// The count-based share of a test in percent: 答对 / 试题数 × 100 in single
// precision, 0 when 试题数 is 0. (Not the stored 正确率, a share of marks.)
float TestAccuracy(qint64 right, qint64 count);

struct ChapterSeries {
  qint64 chapterId = 0;
  QString caption;           // the chapter's 名称; empty when it no longer exists
  std::vector<float> points; // one per test, in record order; none when the chapter is gone
};

// Every test record's accuracy, in record order (all kinds).
std::vector<float> OverallAccuracy(TDataModule1 &dm);
// The chapters of kind-1 tests in ascending chapter number, each with its
// tests' accuracies: one joined statement for all of them. Tests whose
// 所属章节 is empty belong to no chapter and are left out.
std::vector<ChapterSeries> ChapterAccuracy(TDataModule1 &dm);

// The bottom axis of a chart with `points` points: 0 to 24, or to
// points − 1 when there are at least 2.
int BottomAxisMax(int points);

// The interval between axis labels for values 0..`max` on an axis `pixels`
// long whose labels need `labelPixels` each: the smallest of 1, 2, 5, 10,
// 20, 50 … (never below `minStep`) whose labels do not overlap.
int LabelStep(int max, int pixels, int labelPixels, int minStep = 1);
