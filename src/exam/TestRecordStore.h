#pragma once
// The test history: storing a graded paper as a test record (测试结果 with one
// 测试题目 row per sub-question), or overwriting the record whose wrong
// questions were redone. A record and its rows are written in one
// transaction: all or nothing.

#include "exam/TestReport.h"

#include <QDateTime>
#include <QString>
#include <vector>

class TDataModule1;
struct PaperState;

// One sub-question of a stored test.
struct TestQuestionRow {
  int XiaoTiHao = 0;
  bool IsRight = false;
};

// Everything a test record is made of.
struct TestOutcome {
  qint16 kind = 0;         // PaperState::kind
  QString title;           // PaperState::title
  qint32 chapterId = 0;    // PaperState::chapterId
  quint32 redoTestId = 0;  // PaperState::redoTestId (kind 6)
  TestTotals totals;
  std::vector<TestQuestionRow> questions;
};

// The outcome of the paper on display with the report's totals.
TestOutcome CurrentTestOutcome(const PaperState &paper, const TestTotals &totals);

// Texts spliced into the statements.
// Marks: the shortest decimal text that reads back as the same float (0.1 -> "0.1").
QString MarksText(float marks);
// Share of marks earned: general decimal text of score / total with at most
// 15 significant digits; "0" when total is 0.
QString AccuracyText(float score, float total);
// Local date and time as "yyyy-MM-dd HH:mm:ss".
QString TestTimeText(const QDateTime &when);

class TestRecordStore {
public:
  enum class Result {
    NotStored,       // a kind that is never stored (search, feedback page, ...)
    Declined,        // the learner answered No
    Saved,
    RecordFailed,    // writing 测试结果 failed: nothing stored
    QuestionsFailed, // writing a 测试题目 row failed: nothing stored
  };

  explicit TestRecordStore(TDataModule1 &dm) : m_dm(dm) {}

  // Kinds that are stored on close: 1, 2, 4, 5, 7 (new record) and 6
  // (overwrite). Every store also moves the review schedule of the answered
  // questions (store/ReviewSchedule), in the same transaction.
  static bool isStoredKind(qint16 kind);

  // What the result report does when it closes: for a stored kind ask
  // whether to keep the result, store it, and tell the outcome (dialogs()).
  Result saveOnClose(const TestOutcome &outcome);

  // Stores without asking or telling, at the time `when`. Engine errors are
  // caught; the transaction is rolled back.
  Result store(const TestOutcome &outcome, const QDateTime &when);

  // 编号 of the record written by the last successful store (kind 6: the redo target).
  qint64 lastRecordId() const { return m_lastRecordId; }

private:
  void insertRecord(const TestOutcome &o, const QString &accuracy, const QString &time);
  void updateRecord(const TestOutcome &o, const QString &accuracy, const QString &time);

  TDataModule1 &m_dm;
  qint64 m_lastRecordId = 0;
};

namespace TestRecordText {
inline const QString Ask = QStringLiteral("是否将本次测试结果保存到测试历史中？(Y/N)");
inline const QString AskCaption = QStringLiteral("保存测试历史");
inline const QString RecordFailed = QStringLiteral("保存测试结果到测试历史中出错，请重新操作！");
inline const QString QuestionsFailed = QStringLiteral("保存测试题目到测试历史中出错，请重新操作！");
inline const QString FailedCaption = QStringLiteral("保存失败");
inline const QString Saved = QStringLiteral("已经成功地保存到测试历史中！");
inline const QString SavedCaption = QStringLiteral("保存成功");
} // namespace TestRecordText
