#pragma once
// The result report of a graded paper: the HTML lines of the summary table
// by question type and the totals that the test record is stored with.

#include "render/Global.h"

#include <QStringList>
#include <QtGlobal>
#include <vector>

// Sums over the entries of a report.
struct TestTotals {
  qint32 SumNumOfShiTi = 0;
  qint32 SumRight = 0;
  float SumTotal = 0;
  float SumScore = 0;
};

struct TestReport {
  QStringList lines; // each written with one writeln
  TestTotals totals;
};

// The report of `results` (one entry per question type, in order), with the
// totals accumulated from zero.
TestReport BuildTestReport(const std::vector<TTest> &results);

// Number texts of the report: two decimals rounded half away from zero
// ("0.00"), and the same followed by "%".
QString ReportFixed2(double value);
QString ReportPercent(double ratio); // ratio x 100, "0.00%"
// The share of correct answers as "0.00%"; "0.00%" when count is 0.
QString ReportCountPercent(qint64 right, qint64 count);
