#pragma once
// The review of past tests ("温故知新") apart from its window: the list of
// stored tests, the questions of one test, and what the dialog's handler
// decides for the row and the control the learner used. Statements run on
// query objects of their own; nothing is written.

#include "render/Global.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class TDataModule1;

namespace PastTestsText {
inline const QString NoTests = QStringLiteral("没有收藏的题目");
inline const QString NoQuestions = QStringLiteral("没有题目");
inline const QString ShowQuestions = QStringLiteral("显示试题");
inline const QString MakePaper = QStringLiteral("生成试卷");
} // namespace PastTestsText

// "0.00" for marks; a ratio × 100 as "0.00" followed by the full-width
// percent sign (the 得分率 column: the stored 正确率, a share of marks).
QString MarksCell(double marks);
QString AccuracyCell(double ratio);
// The 正确率 column, as the result report shows it: right answers ÷
// questions × 100, rounded half away from zero to two decimals, followed by
// the full-width percent sign; "0.00％" without questions.
QString CountAccuracyCell(qint64 right, qint64 count);

class PastTests {
public:
  enum class Listing { Tests, Questions };
  enum class Control { Button, Grid };

  explicit PastTests(TDataModule1 &dm);

  // "显示全部测试": every stored test in record order (FillDataTR), with
  // the columns 测试名称, 试题数量, 答对题数, 总分, 得分, 正确率 (of the
  // answers, as the report), 得分率 (the stored share of marks), 测试时间.
  void showAllTests();

  Listing listing() const { return m_listing; }
  const QStringList &headers() const { return m_headers; }
  // Data rows as shown; a single placeholder row when there is nothing.
  const std::vector<QStringList> &rows() const { return m_rows; }
  // Index-aligned with the data rows: each test's 编号, or each question's
  // 小题号; empty while the placeholder row is shown.
  const std::vector<qint64> &RowNumbers() const { return m_numbers; }

  struct Outcome {
    bool switchedToQuestions = false; // the control becomes "生成试卷" / tag 1
    bool beep = false;
    std::optional<std::vector<TXiaoTi>> paper; // end the dialog with OK
  };
  // The "显示试题"/"生成试卷" button or a double click on the grid, on
  // data row `row`, by a control whose tag is `controlTag`.
  Outcome activate(Control control, int controlTag, int row);

private:
  Outcome showDetails(int row);
  void fillQuestions(qint64 testId);

  TDataModule1 &m_dm;
  Listing m_listing = Listing::Tests;
  QStringList m_headers;
  std::vector<QStringList> m_rows;
  std::vector<qint64> m_numbers;
};
