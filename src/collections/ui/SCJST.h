#pragma once
// "收藏试题": the favourites by chapter (page 全部试题) and one page per
// chapter with its questions. Its actions choose a paper and end with OK;
// removing favourites writes at once (a chapter in one transaction); when
// none is left the window closes with 11.

#include "collections/Favourites.h"
#include "render/Global.h"
#include "render/ui/FrmBase.h"

#include <vector>

class QPushButton;
class QStandardItemModel;
class TPageControl;
class QTableView;
class TStringGridSCJ;

class TFrmSCJST : public TFrmBase {
  Q_OBJECT
public:
  TFrmSCJST(TDataModule1 &dm, const std::vector<FavouriteChapter> &chapters, QWidget *parent = nullptr);

  TPageControl *PageControl1 = nullptr; // 全部试题, then one page per chapter
  QTableView *StringGrid1 = nullptr; // the summary
  QPushButton *BitBtn5 = nullptr;    // 显示试题
  QPushButton *BitBtn1 = nullptr;    // 显示全部试题
  QPushButton *BitBtn2 = nullptr;    // 取消收藏
  QPushButton *BitBtn4 = nullptr;    // 全部取消
  QPushButton *BitBtn3 = nullptr;    // 关闭

  const std::vector<TXiaoTi> &paper() const { return m_paper; }
  // The list of chapter page `page` (1 …), made when first asked for: a
  // page that is never opened costs no view.
  TStringGridSCJ *chapterGrid(int page) const;
  int summaryRows() const;

  void ActShowQuestion();
  void ActCreatePaper();
  void ActCancel();
  void ActCancelAll();

private:
  int selectedSummaryRow() const;
  // The 小题号 of chapter page `page` in row order, without making its list.
  std::vector<int> chapterNumbers(int page) const;
  void removeChapter(int page);
  void renumber();
  void closeIfEmpty();

  TDataModule1 &m_dm;
  QStandardItemModel *m_summary = nullptr;
  std::vector<qint64> m_chapterIds; // index-aligned with the summary rows
  // The rows of each chapter page whose list is not made yet (aligned with
  // the summary rows; emptied when the list is made).
  mutable std::vector<std::vector<FavouriteRow>> m_pendingRows;
  std::vector<TXiaoTi> m_paper;
};
