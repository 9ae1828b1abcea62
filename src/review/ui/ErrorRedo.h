#pragma once
// TFrmErrorRedo: the wrong-question redo window (错题重做). Names in plain words: docs/NAMES.md
// "错题重做": the stored tests that still hold wrong answers, on four fixed
// pages (模拟考试, 收藏试题, 温故知新, 全部章节), and one page per chapter test
// with its wrong questions (its list made when the page is first shown); a
// paper that redoes a test or some of its questions, and deletes that trim
// the history. A shell over WrongRedo.

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
  QPushButton *BtnDel = nullptr, *BtnDelAll = nullptr, *BtnShow = nullptr, *BtnShowAll = nullptr,
              *BtnClose = nullptr;

  // The chosen paper and the test it redoes, once the dialog ended with OK.
  const std::vector<TXiaoTi> &paper() const { return m_paper; }
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
  void finish(std::vector<TXiaoTi> paper, qint64 testId);

  WrongRedo m_logic;
  RowsTableModel *m_models[4] = {};
  std::vector<qint64> m_pageTests; // the test of each test page, from kFirstTestTab
  std::vector<TXiaoTi> m_paper;
  quint32 m_redoTestId = 0;
};
