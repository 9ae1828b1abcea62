#pragma once
// Question banks from spreadsheets, and back.
//
// A question sheet has a header row naming its columns (any order):
//   科目, 章, 节      the tree: the same names make the same nodes
//   题型              单项选择题, 多项选择题, 判断题, 填空题, 简答题 or 计算题
//   题干              the stem
//   选项A … 选项H     option texts; "A．" is put in front when a cell lacks it
//   答案              letters for choice types, 正确/错误 (or A/B) for 判断题,
//                     the model answer otherwise
//   解析              the explanation
//   分值              optional: the score of the row's type (of 案例分析题
//                     for a case's sub-question)
//   案例, 案例组      a case question: its material in 案例 on its first row,
//                     every sub-question's row carrying the same 案例组 id
// one row per sub-question. A workbook cell is read as the text it shows
// (dates, percentages, … through the cell's number format), a merged range
// gives its value to every cell of the range, and a cell with an error
// value, an uncached formula or a format whose text cannot be known refuses
// its row, naming the cell. Texts are taken without outer blanks and line
// breaks. A sheet named "参数" (or whose header has 参数名
// and 参数值) sets rows of 系统参数.
//
// Rows are checked as they are read and written to OUT.partial while no
// problem has been found, so that neither the sheets nor the questions are
// held in memory; the bank takes its name only when every row was read
// without a problem (the partial file is dropped otherwise), through the
// same code as `qbrx-bank build`.

#include "store/SheetFile.h"

#include <QString>
#include <QStringList>
#include <functional>

struct BankImportOptions {
  bool dryRun = false; // check only
  // A bank whose numbers are kept: a row with the same 题干 in the same
  // 科目/章/节 keeps its 小题号, a node with the same names keeps its 编号.
  QString keepNumbersFrom;
  // Hidden sheets are skipped (with a note) unless this is set.
  bool includeHiddenSheets = false;
  // Receives notes: each CSV file's encoding, sheets skipped, unknown
  // columns and parameter names, hidden rows, columns and sheets, cells
  // right of the header.
  std::function<void(const QString &)> note;
};

struct BankImportResult {
  // Every problem found, as "FILE:sheet:row: column: problem"; when there is
  // any, nothing was written.
  QStringList problems;
  int questions = 0; // sub-questions
  int cases = 0;
  int nodes = 0;
};

// Reads `files` (.xlsx, .csv) and, unless a problem was found or the options
// ask for a dry run, writes a new masked bank at `out`. Throws AppError when
// the bank cannot be written or the bank to keep numbers from cannot be read.
BankImportResult ImportBankSheets(const QString &out, const QStringList &files, const BankImportOptions &options = {});

// The bank at `in` (masked or not) as sheets of the format above: the
// questions, then (for a workbook) the parameters. `warning` receives what
// the format cannot say (a question outside a section).
std::vector<Sheet> BankToSheets(const QString &in, const std::function<void(const QString &)> &warning = {});

// Writes the bank at `in` to `out` (.csv: the questions only; .xlsx: the
// questions and a "参数" sheet). Throws AppError.
void ExportBankSheet(const QString &in, const QString &out, const std::function<void(const QString &)> &warning = {});
