#pragma once
// TFrmSCJST: the favourites window (收藏试题), also the search results. Names in plain words: docs/NAMES.md
// "收藏试题": the favourites by chapter (page 全部试题) and one page per
// chapter with its questions. Its actions choose a paper and end with OK;
// removing favourites writes at once (a chapter in one transaction); when
// none is left the window closes with 11.
//
// Search mode, caption "试题查找": the question search's results, one row
// per question on the one page, with how many were found; "取消收藏" and
// "全部取消" are hidden and do nothing there (a beep).

#include "collections/Favourites.h"
#include "collections/QuestionSearch.h"
#include "render/Global.h"
#include "app/ui/FrmBase.h"

#include <vector>

class QLabel;
class QPushButton;
class QuestionListModel;
class QStandardItemModel;
class TPageControl;
class QTableView;
class TStringGridSCJ;

class TFrmSCJST : public TFrmBase {
  Q_OBJECT
public:
  // Favourites mode.
  TFrmSCJST(TDataModule1 &dm, const std::vector<FavouriteChapter> &chapters, QWidget *parent = nullptr);
  // Search mode: `results` in their order, their texts read from the bank
  // as the list shows them.
  TFrmSCJST(TDataModule1 &dm, const std::vector<SearchResult> &results, QWidget *parent = nullptr);

  TPageControl *PageControl1 = nullptr; // 全部试题, then one page per chapter
  QTableView *StringGrid1 = nullptr; // the summary
  QPushButton *BitBtn5 = nullptr;    // 显示试题
  QPushButton *BitBtn1 = nullptr;    // 显示全部试题
  QPushButton *BitBtn2 = nullptr;    // 取消收藏
  QPushButton *BitBtn4 = nullptr;    // 全部取消
  QPushButton *BitBtn3 = nullptr;    // 关闭
  QLabel *LabelCount = nullptr;      // search mode: how many were found

  const std::vector<TXiaoTi> &paper() const { return m_paper; }
  // The list of chapter page `page` (1 …), made when first asked for: a
  // page that is never opened costs no view.
  TStringGridSCJ *chapterGrid(int page) const;
  int summaryRows() const;
  // The window shows search results (its caption is "试题查找").
  bool searchMode() const;

  void ActShowQuestion();
  void ActCreatePaper();
  void ActCancel();
  void ActCancelAll();

private:
  void buildWindow();
  void sizeSummaryColumns();
  int selectedSummaryRow() const;
  // The 小题号 of chapter page `page` in row order, without making its list.
  std::vector<int> chapterNumbers(int page) const;
  void removeChapter(int page);
  void renumber();
  void closeIfEmpty();

  TDataModule1 &m_dm;
  QStandardItemModel *m_summary = nullptr; // favourites mode
  QuestionListModel *m_results = nullptr;  // search mode
  std::vector<qint64> m_chapterIds; // index-aligned with the summary rows
  // The rows of each chapter page whose list is not made yet (aligned with
  // the summary rows; emptied when the list is made).
  mutable std::vector<std::vector<FavouriteRow>> m_pendingRows;
  std::vector<TXiaoTi> m_paper;
};
