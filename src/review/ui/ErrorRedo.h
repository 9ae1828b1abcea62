#pragma once
// TFrmErrorRedo: the wrong-question redo window (错题重做). Names in plain words: docs/NAMES.md
// "错题重做": first 今日复习, the questions due for review today or earlier
// (store/ReviewSchedule), which a paper of its own kind reviews; then the
// stored tests that still hold wrong answers, on four fixed pages (模拟考试,
// 收藏试题, 温故知新, 全部章节), and one page per chapter test with its wrong
// questions (its list made when the page is first shown); a paper that
// redoes a test or some of its questions, and deletes that trim the history.
// A shell over WrongRedo. It opens on 今日复习 when a question is due.

#include "app/ui/FrmBase.h"
#include "review/WrongRedo.h"

class QPushButton;
class QTableView;
class RowsTableModel;
class TPageControl;
class TStringGridSCJ;

class TFrmErrorRedo : public TFrmBase {
  Q_OBJECT
public:
  explicit TFrmErrorRedo(TDataModule1 &dm, QWidget *parent = nullptr);

  TPageControl *PageControl1 = nullptr; // the four fixed pages, then one per test
  QTableView *StringGrid1 = nullptr; // 全部章节
  QTableView *StringGrid2 = nullptr; // 模拟考试
  QTableView *StringGrid3 = nullptr; // 收藏试题
  QTableView *StringGrid4 = nullptr; // 温故知新
  QTableView *StringGrid5 = nullptr; // 今日复习: 序号, 章节, 题目, 到期, 错次
  QPushButton *BtnDel = nullptr, *BtnDelAll = nullptr, *BtnShow = nullptr, *BtnShowAll = nullptr,
              *BtnClose = nullptr;

  // The chosen paper, its kind (PaperKinds::Redo, or DueReview from the
  // 今日复习 page) and the test a redo overwrites, once the dialog ended
  // with OK.
  const std::vector<TXiaoTi> &paper() const { return m_paper; }
  qint16 paperKind() const { return m_kind; }
  quint32 redoTestId() const { return m_redoTestId; }

  // The grid of test page `index`, made and filled when first asked for.
  TStringGridSCJ *testGrid(int index);

  void ActDel();
  void ActDelAll();
  void ActShow();
  void ActShowAll();

private:
  QTableView *fixedGrid(int page) const;
  void fillFixed(int page);
  void updateButtons();
  int selectedFixedRow(int page) const;
  qint64 tabTest(int index) const;
  int tabOfTest(qint64 testId) const;
  bool deleteFixedRow(int page, int row);
  void finish(std::vector<TXiaoTi> paper, qint64 testId, qint16 kind = PaperKinds::Redo);
  void showDue(bool all);

  WrongRedo m_logic;
  RowsTableModel *m_models[4] = {};
  RowsTableModel *m_dueModel = nullptr;
  std::vector<int> m_due; // 小题号 of the 今日复习 rows
  std::vector<qint64> m_pageTests; // the test of each test page, from kFirstTestTab
  std::vector<TXiaoTi> m_paper;
  quint32 m_redoTestId = 0;
  qint16 m_kind = PaperKinds::Redo;
};
