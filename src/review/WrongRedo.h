#pragma once
// The wrong-question redo ("错题重做") apart from its window: which stored
// tests still hold wrong answers, by where they came from; the wrong
// questions of each chapter test; the papers that redo them; and the deletes
// that trim the history. Statements run on query objects of their own;
// deletes that belong together run in one transaction.

#include "render/Global.h"

#include <QString>
#include <optional>
#include <vector>

class TDataModule1;

namespace WrongRedoText {
inline const QString NothingToShow = QStringLiteral("没有可以显示的试题！");
inline const QString DeleteFailed = QStringLiteral("删除失败！");
inline const QString Caption = QStringLiteral("提示");
inline const QString ConfirmCaption = QStringLiteral("确定删除");
} // namespace WrongRedoText

// The fixed pages, in page order. The window shows them after its 今日复习
// page (tab 0), as tabs 1 to 4; test tabs follow from index 5.
enum class RedoPage { MockExams = 0, Favourites = 1, Reviews = 2, Chapters = 3 };
constexpr int kDueTab = 0;
constexpr int kFirstTestTab = 5;
constexpr int TabOf(RedoPage page) { return int(page) + 1; }

struct RedoTestRow {
  qint64 id = 0;      // 编号 of the test record
  QString name;       // 测试名称
  int wrong = 0;      // its 测试题目 rows with 回答正确=0
  qint64 chapter = 0; // 所属章节 (chapter tests)
  // What the chapter list and the test's page show: the name, led by its
  // chapter (and subject) when another listed test has the same name
  // ("第一章 · 第一节 概述").
  QString caption;
};

struct RedoQuestionRow {
  int xiaoTiHao = 0;
  QString content; // 题目内容
  QString type;    // 题目类型
};

class WrongRedo {
public:
  explicit WrongRedo(TDataModule1 &dm);

  // Reads every fixed page. The chapter list holds, for each chapter (by
  // 所属章节, ascending), its newest chapter test that still has wrong
  // answers; the other pages every test of their kind that has any.
  void load();
  const std::vector<RedoTestRow> &rows(RedoPage page) const { return m_pages[int(page)]; }

  // The wrong questions of chapter test `testId`, in chapter, number and
  // type order: the rows of its test tab (one statement).
  std::vector<RedoQuestionRow> wrongQuestions(qint64 testId);

  // The papers: the case heads (大题号) of the test's wrong questions, once
  // each; of one question; of every listed question in order (a case twice
  // when two of its sub-questions are listed). A head that is 0 or missing
  // from 小题 is skipped; the paper may come out empty.
  std::vector<TXiaoTi> testPaper(qint64 testId);
  std::vector<TXiaoTi> questionPaper(int xiaoTiHao);
  std::vector<TXiaoTi> questionsPaper(const std::vector<int> &xiaoTiHao);

  // Deletes a whole test (its questions, then its record) in one
  // transaction and drops it from the page's list. Throws on failure with
  // nothing changed.
  void deleteTest(RedoPage page, qint64 testId);
  // Deletes one wrong question from test `testId`'s record only, and counts
  // it off the chapter list. Throws on failure with nothing changed.
  void deleteQuestion(qint64 testId, int xiaoTiHao);

private:
  std::vector<RedoTestRow> testsOfKind(int kind);
  void captionChapters(std::vector<RedoTestRow> &rows);
  std::vector<TXiaoTi> heads(const QString &where, const QVariantList &values, bool distinct);

  TDataModule1 &m_dm;
  std::vector<RedoTestRow> m_pages[4];
};
