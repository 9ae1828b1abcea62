#include "collections/ui/SCJST.h"
#include "app/ui/PageControl.h"
#include "collections/QuestionSearch.h"
#include "collections/ui/StringGridSC.h"
#include "common/AppError.h"
#include "common/Dialogs.h"
#include "common/ErrorHandler.h"
#include "store/FavouritesRepository.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

TFrmSCJST::TFrmSCJST(TDataModule1 &dm, const std::vector<FavouriteChapter> &chapters, QWidget *parent)
    : TFrmBase(FavouritesText::Caption, parent), m_dm(dm) {
  buildWindow();
  m_summary = new QStandardItemModel(0, 4, this);
  m_summary->setHorizontalHeaderLabels(
      {QStringLiteral("序号"), QStringLiteral("    章节名称"), QStringLiteral("题目数量"), QString()});
  StringGrid1->setModel(m_summary);
  sizeSummaryColumns();

  QStringList names;
  for (const FavouriteChapter &c : chapters) {
    m_summary->appendRow({new QStandardItem(QString::number(m_summary->rowCount() + 1)), new QStandardItem(c.name),
                          new QStandardItem(QString::number(c.rows.size())),
                          new QStandardItem(QString::number(c.id))});
    m_chapterIds.push_back(c.id);
    m_pendingRows.push_back(c.rows);
    names << c.name;
  }
  // The chapter pages' lists are made when a page is first shown.
  PageControl1->addTabs(names);
  connect(PageControl1, &TPageControl::currentChanged, this, [this](int page) { chapterGrid(page); });
  StringGrid1->selectRow(0);
}

TFrmSCJST::TFrmSCJST(TDataModule1 &dm, const std::vector<SearchResult> &results, QWidget *parent)
    : TFrmBase(SearchText::Caption, parent), m_dm(dm) {
  buildWindow();
  // The summary lists questions here: the question list's model, with its
  // headers "序号", "    题目内容", "题目类型".
  m_results = new QuestionListModel(this);
  std::vector<QuestionListModel::Row> rows;
  rows.reserve(results.size());
  for (const SearchResult &r : results)
    rows.push_back({r.xiaoTiHao, QString(), r.type, r.textOf});
  m_results->setRows(std::move(rows), [&dm](const std::vector<int> &numbers) {
    return QuestionSearch(dm).texts(numbers);
  });
  StringGrid1->setModel(m_results);
  sizeSummaryColumns();
  BitBtn2->hide();
  BitBtn4->hide();
  PageControl1->pageList()->hide(); // one page: nothing to choose from
  LabelCount->setText(SearchText::FoundCount(int(results.size())));
  LabelCount->show();
  StringGrid1->selectRow(0);
}

void TFrmSCJST::buildWindow() {
  setObjectName(QStringLiteral("FrmSCJST"));
  resize(1000, 520); // the page list, then the summary's three columns
  auto *layout = new QVBoxLayout(this);
  PageControl1 = new TPageControl(this);
  layout->addWidget(PageControl1, 1);

  StringGrid1 = new QTableView(PageControl1);
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->verticalHeader()->hide();
  StringGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  PageControl1->addTab(StringGrid1, QStringLiteral("全部试题"));

  auto *buttons = new QHBoxLayout;
  LabelCount = new QLabel(this);
  LabelCount->setObjectName(QStringLiteral("LabelCount"));
  LabelCount->hide();
  buttons->addWidget(LabelCount);
  buttons->addStretch();
  const auto button = [&](const QString &name, const QString &text) {
    auto *b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    buttons->addWidget(b);
    return b;
  };
  BitBtn5 = button(QStringLiteral("BitBtn5"), QStringLiteral("显示试题"));
  BitBtn1 = button(QStringLiteral("BitBtn1"), QStringLiteral("显示全部试题"));
  BitBtn2 = button(QStringLiteral("BitBtn2"), QStringLiteral("取消收藏"));
  BitBtn4 = button(QStringLiteral("BitBtn4"), QStringLiteral("全部取消"));
  BitBtn3 = button(QStringLiteral("BitBtn3"), QStringLiteral("关闭"));
  layout->addLayout(buttons);
  wireButtons(nullptr, BitBtn3);
  connect(BitBtn5, &QPushButton::clicked, this, [this] { RunCommand([this] { ActShowQuestion(); }); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { RunCommand([this] { ActCreatePaper(); }); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { RunCommand([this] { ActCancel(); }); });
  connect(BitBtn4, &QPushButton::clicked, this, [this] { RunCommand([this] { ActCancelAll(); }); });
}

// Widths as the window's font measures them; column 3 holds the number.
void TFrmSCJST::sizeSummaryColumns() {
  const QFontMetrics fm(font());
  StringGrid1->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral(" 100")) + 8);
  StringGrid1->setColumnWidth(1, 640);
  StringGrid1->setColumnWidth(2, fm.horizontalAdvance(QStringLiteral("题目类型")) + 18);
  StringGrid1->setColumnHidden(3, true);
}

bool TFrmSCJST::searchMode() const { return windowTitle() == SearchText::Caption; }

TStringGridSCJ *TFrmSCJST::chapterGrid(int page) const {
  if (page < 1 || page >= PageControl1->count())
    return nullptr;
  if (auto *grid = qobject_cast<TStringGridSCJ *>(PageControl1->widget(page)))
    return grid;
  auto *grid = new TStringGridSCJ;
  std::vector<QuestionListModel::Row> rows;
  for (const FavouriteRow &r : std::exchange(m_pendingRows[std::size_t(page - 1)], {}))
    rows.push_back({r.xiaoTiHao, r.content, r.type});
  grid->setRows(std::move(rows));
  grid->selectRow(0);
  PageControl1->setWidget(page, grid);
  return grid;
}

std::vector<int> TFrmSCJST::chapterNumbers(int page) const {
  std::vector<int> out;
  if (page < 1 || page >= PageControl1->count())
    return out;
  if (auto *grid = qobject_cast<TStringGridSCJ *>(PageControl1->widget(page))) {
    for (int r = 0; r < grid->dataRowCount(); ++r)
      out.push_back(grid->xiaoTiHao(r));
  } else {
    for (const FavouriteRow &r : m_pendingRows[std::size_t(page - 1)])
      out.push_back(r.xiaoTiHao);
  }
  return out;
}

int TFrmSCJST::summaryRows() const { return StringGrid1->model()->rowCount(); }

int TFrmSCJST::selectedSummaryRow() const {
  const QModelIndexList rows = StringGrid1->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TFrmSCJST::ActShowQuestion() {
  const int page = PageControl1->currentIndex();
  std::vector<TXiaoTi> paper;
  if (page == 0) {
    const int row = selectedSummaryRow();
    if (row < 0) {
      dialogs().beep();
      return;
    }
    if (m_results) {
      // The one question of the row.
      paper.push_back(TXiaoTi{m_results->rowAt(row).xiaoTiHao});
    } else {
      // The chapter's favourites as listed on its page.
      for (int x : chapterNumbers(row + 1))
        paper.push_back(TXiaoTi{x});
    }
  } else {
    TStringGridSCJ *grid = chapterGrid(page);
    const int row = grid ? grid->selectedRow() : -1;
    if (row < 0) {
      dialogs().beep();
      return;
    }
    paper.push_back(TXiaoTi{grid->xiaoTiHao(row)});
  }
  m_paper = std::move(paper);
  accept();
}

void TFrmSCJST::ActCreatePaper() {
  const int page = PageControl1->currentIndex();
  std::vector<TXiaoTi> paper;
  if (m_results) {
    // Every result in result order.
    for (int r = 0; r < m_results->rowCount(); ++r)
      paper.push_back(TXiaoTi{m_results->rowAt(r).xiaoTiHao});
    if (paper.empty())
      return;
    m_paper = std::move(paper);
    accept();
    return;
  }
  const int first = page == 0 ? 1 : page, last = page == 0 ? PageControl1->count() - 1 : page;
  for (int p = first; p <= last; ++p)
    for (int x : chapterNumbers(p))
      paper.push_back(TXiaoTi{x});
  if (paper.empty())
    return;
  m_paper = std::move(paper);
  accept();
}

void TFrmSCJST::renumber() {
  for (int r = 0; r < m_summary->rowCount(); ++r)
    m_summary->item(r, 0)->setText(QString::number(r + 1));
}

void TFrmSCJST::removeChapter(int page) {
  // The rows go first: removing the tab shows another page, whose list may
  // be made from them.
  m_chapterIds.erase(m_chapterIds.begin() + (page - 1));
  m_pendingRows.erase(m_pendingRows.begin() + (page - 1));
  QWidget *w = PageControl1->widget(page);
  PageControl1->removeTab(page);
  delete w;
  m_summary->removeRow(page - 1);
  renumber();
}

void TFrmSCJST::closeIfEmpty() {
  if (m_summary->rowCount() > 0)
    return;
  dialogs().information(FavouritesText::NoneLeft, FavouritesText::NoneLeftCaption);
  done(FavouritesText::kNoneLeftResult);
}

void TFrmSCJST::ActCancel() {
  // The search's results are no favourites: nothing to remove.
  if (searchMode()) {
    dialogs().beep();
    return;
  }
  const int page = PageControl1->currentIndex();
  if (page == 0) {
    const int row = selectedSummaryRow();
    if (row < 0) {
      dialogs().beep();
      return;
    }
    if (!dialogs().question(QStringLiteral("确定取消章节 ") + m_summary->item(row, 1)->text() +
                                QStringLiteral(" 下的全部收藏吗？取消后不能恢复！"),
                            FavouritesText::ConfirmCaption))
      return;
    FavouritesRepository(m_dm).setMarked(chapterNumbers(row + 1), false); // all or nothing; an error leaves the lists
    removeChapter(row + 1);
    StringGrid1->selectRow(std::min(row, m_summary->rowCount() - 1));
  } else {
    TStringGridSCJ *grid = chapterGrid(page);
    const int row = grid ? grid->selectedRow() : -1;
    if (row < 0) {
      dialogs().beep();
      return;
    }
    if (!dialogs().question(QStringLiteral("确定取消 ") + grid->content(row) + QStringLiteral(" 的收藏吗？取消后不能恢复！"),
                            FavouritesText::ConfirmCaption))
      return;
    FavouritesRepository(m_dm).setMarked({grid->xiaoTiHao(row)}, false);
    grid->removeDataRow(row);
    QStandardItem *count = m_summary->item(page - 1, 2);
    count->setText(QString::number(grid->dataRowCount()));
    if (grid->dataRowCount() == 0)
      removeChapter(page);
    else
      grid->selectRow(std::min(row, grid->dataRowCount() - 1));
  }
  closeIfEmpty();
}

void TFrmSCJST::ActCancelAll() {
  if (searchMode()) {
    dialogs().beep();
    return;
  }
  if (!dialogs().question(FavouritesText::ConfirmAll, FavouritesText::ConfirmAllCaption))
    return;
  // Only marks that are set: cleared elsewhere already, nothing changes.
  if (FavouritesRepository(m_dm).clearAll() == 0)
    return;
  dialogs().information(FavouritesText::NoneLeft, FavouritesText::NoneLeftCaption);
  done(FavouritesText::kNoneLeftResult);
}
