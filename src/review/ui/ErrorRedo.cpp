#include "review/ui/ErrorRedo.h"
#include "app/ui/PageControl.h"
#include "collections/ui/StringGridSC.h"
#include "common/Dialogs.h"
#include "review/ui/RowsTableModel.h"
#include "store/DM.h"
#include "store/ReviewSchedule.h"

#include <QDate>
#include <QFontMetrics>
#include <QSet>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

namespace {
QTableView *makeFixedGrid(QWidget *parent, const QString &name) {
  auto *g = new QTableView(parent);
  g->setObjectName(name);
  g->setSelectionBehavior(QAbstractItemView::SelectRows);
  g->setSelectionMode(QAbstractItemView::SingleSelection);
  g->setEditTriggers(QAbstractItemView::NoEditTriggers);
  g->verticalHeader()->hide();
  g->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return g;
}
} // namespace

TFrmErrorRedo::TFrmErrorRedo(TDataModule1 &dm, QWidget *parent)
    : TFrmBase(QStringLiteral("错题重做"), parent), m_logic(dm) {
  setObjectName(QStringLiteral("FrmErrorRedo"));
  resize(860, 540);
  auto *layout = new QVBoxLayout(this);
  PageControl1 = new TPageControl(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  layout->addWidget(PageControl1, 1);

  StringGrid5 = makeFixedGrid(PageControl1, QStringLiteral("StringGrid5"));
  StringGrid2 = makeFixedGrid(PageControl1, QStringLiteral("StringGrid2"));
  StringGrid3 = makeFixedGrid(PageControl1, QStringLiteral("StringGrid3"));
  StringGrid4 = makeFixedGrid(PageControl1, QStringLiteral("StringGrid4"));
  StringGrid1 = makeFixedGrid(PageControl1, QStringLiteral("StringGrid1"));
  PageControl1->addTab(StringGrid5, QStringLiteral("今日复习"));
  PageControl1->addTab(StringGrid2, QStringLiteral("模拟考试"));
  PageControl1->addTab(StringGrid3, QStringLiteral("收藏试题"));
  PageControl1->addTab(StringGrid4, QStringLiteral("温故知新"));
  PageControl1->addTab(StringGrid1, QStringLiteral("全部章节"));

  m_logic.load();
  for (int page = 0; page < 4; ++page) {
    m_models[page] = new RowsTableModel(this);
    fixedGrid(page)->setModel(m_models[page]);
    fillFixed(page);
  }
  {
    std::vector<QStringList> rows;
    for (const DueQuestion &d : ReviewSchedule::dueQuestions(dm.ADOConnection1, QDate::currentDate())) {
      m_due.push_back(d.xiaoTiHao);
      rows.push_back({QString::number(m_due.size()), d.chapter, d.content, d.due, QString::number(d.lapses),
                      QString::number(d.xiaoTiHao)});
    }
    m_dueModel = new RowsTableModel(this);
    m_dueModel->setRows({QStringLiteral("序号"), QStringLiteral("章节"), QStringLiteral("题目"), QStringLiteral("到期"),
                         QStringLiteral("错次"), QString()},
                        rows);
    QTableView *g = StringGrid5;
    g->setModel(m_dueModel);
    const QFontMetrics metrics(g->font());
    g->setColumnWidth(0, metrics.horizontalAdvance(QStringLiteral(" 1000")) + 8);
    g->setColumnWidth(1, 140);
    g->setColumnWidth(3, metrics.horizontalAdvance(QStringLiteral("2026-12-31")) + 16);
    g->setColumnWidth(4, metrics.horizontalAdvance(QStringLiteral("错次")) + 20);
    g->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch); // 题目 takes what is left
    g->setColumnHidden(5, true); // the 小题号
    if (!rows.empty())
      g->selectRow(0);
  }
  // One test page per chapter-list row; its grid is made when first shown.
  QStringList names;
  for (const RedoTestRow &row : m_logic.rows(RedoPage::Chapters)) {
    m_pageTests.push_back(row.id);
    names << row.caption;
  }
  PageControl1->addTabs(names);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  const auto button = [&](const QString &text, void (TFrmErrorRedo::*action)()) {
    auto *b = new QPushButton(text, this);
    b->setAutoDefault(false);
    buttons->addWidget(b);
    if (action)
      connect(b, &QPushButton::clicked, this, [this, action] { (this->*action)(); });
    return b;
  };
  BtnDel = button(QStringLiteral("删除"), &TFrmErrorRedo::ActDel);
  BtnDelAll = button(QStringLiteral("全部删除"), &TFrmErrorRedo::ActDelAll);
  BtnShow = button(QStringLiteral("显示试题"), &TFrmErrorRedo::ActShow);
  BtnShowAll = button(QStringLiteral("显示全部试题"), &TFrmErrorRedo::ActShowAll);
  BtnClose = button(QStringLiteral("关闭"), nullptr);
  layout->addLayout(buttons);
  wireButtons(nullptr, BtnClose);

  connect(PageControl1, &TPageControl::currentChanged, this, [this](int i) {
    testGrid(i);
    updateButtons();
  });
  PageControl1->setCurrentIndex(m_due.empty() ? TabOf(RedoPage::Chapters) : kDueTab);
  updateButtons();
}

QTableView *TFrmErrorRedo::fixedGrid(int page) const {
  switch (page) {
  case 0:
    return StringGrid2;
  case 1:
    return StringGrid3;
  case 2:
    return StringGrid4;
  default:
    return StringGrid1;
  }
}

void TFrmErrorRedo::fillFixed(int page) {
  std::vector<QStringList> rows;
  int n = 0;
  for (const RedoTestRow &r : m_logic.rows(RedoPage(page)))
    rows.push_back({QString::number(++n), r.caption, QString::number(r.wrong), QString::number(r.id)});
  m_models[page]->setRows({QStringLiteral("序号"),
                           page == int(RedoPage::Chapters) ? QStringLiteral("章节") : QStringLiteral("测试名称"),
                           QStringLiteral("错题数"), QString()},
                          rows);
  QTableView *g = fixedGrid(page);
  g->setColumnWidth(0, QFontMetrics(g->font()).horizontalAdvance(QStringLiteral(" 100")) + 8);
  g->setColumnWidth(1, 560);
  g->setColumnWidth(2, 100);
  g->setColumnHidden(3, true); // the test's 编号
  if (!rows.empty())
    g->selectRow(0);
}

TStringGridSCJ *TFrmErrorRedo::testGrid(int index) {
  if (index < kFirstTestTab || index >= PageControl1->count())
    return nullptr;
  if (auto *grid = qobject_cast<TStringGridSCJ *>(PageControl1->widget(index)))
    return grid;
  auto *grid = new TStringGridSCJ;
  std::vector<QuestionListModel::Row> rows;
  QSet<QString> types;
  for (const RedoQuestionRow &q : m_logic.wrongQuestions(tabTest(index))) {
    rows.push_back({q.xiaoTiHao, q.content, q.type});
    types.insert(q.type);
  }
  grid->setRows(std::move(rows));
  // 题目类型 as wide as its longest text; 题目内容 takes the rest of the row.
  const QFontMetrics fm(grid->font());
  int typeWidth = fm.horizontalAdvance(QStringLiteral("题目类型"));
  for (const QString &t : types)
    typeWidth = std::max(typeWidth, fm.horizontalAdvance(t));
  grid->setColumnWidth(2, typeWidth + 18);
  grid->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  if (grid->dataRowCount() > 0)
    grid->selectRow(0);
  PageControl1->setWidget(index, grid);
  return grid;
}

qint64 TFrmErrorRedo::tabTest(int index) const {
  return index >= kFirstTestTab && index < PageControl1->count() ? m_pageTests[std::size_t(index - kFirstTestTab)]
                                                                 : 0;
}

int TFrmErrorRedo::tabOfTest(qint64 testId) const {
  for (std::size_t i = 0; i < m_pageTests.size(); ++i)
    if (m_pageTests[i] == testId)
      return kFirstTestTab + int(i);
  return -1;
}

int TFrmErrorRedo::selectedFixedRow(int page) const {
  const QModelIndexList rows = fixedGrid(page)->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TFrmErrorRedo::updateButtons() {
  const int tab = PageControl1->currentIndex();
  if (tab == kDueTab) {
    // The schedule is the history's: nothing to delete here.
    BtnDel->setEnabled(false);
    BtnDelAll->setEnabled(false);
    BtnShow->setEnabled(!m_due.empty());
    BtnShowAll->setEnabled(!m_due.empty());
    return;
  }
  const bool hasRows = tab < kFirstTestTab ? !m_logic.rows(RedoPage(tab - 1)).empty()
                                           : (testGrid(tab) && testGrid(tab)->dataRowCount() > 0);
  BtnDel->setEnabled(hasRows);
  BtnDelAll->setEnabled(hasRows);
  BtnShow->setEnabled(hasRows);
  BtnShowAll->setEnabled(hasRows && tab >= kFirstTestTab);
}

void TFrmErrorRedo::finish(std::vector<TXiaoTi> paper, qint64 testId, qint16 kind) {
  if (paper.empty()) {
    dialogs().information(WrongRedoText::NothingToShow, WrongRedoText::Caption);
    return;
  }
  m_paper = std::move(paper);
  m_redoTestId = quint32(testId);
  m_kind = kind;
  accept();
}

// The selected due question, or every one, by its case's head: a paper of
// its own kind, stored as a new test.
void TFrmErrorRedo::showDue(bool all) {
  std::vector<int> numbers;
  if (all) {
    numbers = m_due;
  } else {
    const QModelIndexList rows = StringGrid5->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.first().row() >= int(m_due.size())) {
      dialogs().beep();
      return;
    }
    numbers.push_back(m_due[std::size_t(rows.first().row())]);
  }
  std::vector<TXiaoTi> paper;
  QSet<int> seen;
  for (const TXiaoTi &x : m_logic.questionsPaper(numbers))
    if (!seen.contains(x.XiaoTiHao)) {
      seen.insert(x.XiaoTiHao);
      paper.push_back(x);
    }
  finish(std::move(paper), 0, PaperKinds::DueReview);
}

void TFrmErrorRedo::ActShow() {
  const int tab = PageControl1->currentIndex();
  if (tab == kDueTab) {
    showDue(false);
    return;
  }
  if (tab < kFirstTestTab) {
    const int page = tab - 1;
    const int row = selectedFixedRow(page);
    if (row < 0) {
      dialogs().beep();
      return;
    }
    const qint64 id = m_logic.rows(RedoPage(page))[std::size_t(row)].id;
    finish(m_logic.testPaper(id), id);
    return;
  }
  TStringGridSCJ *grid = testGrid(tab);
  const int row = grid ? grid->selectedRow() : -1;
  if (row < 0) {
    dialogs().beep();
    return;
  }
  finish(m_logic.questionPaper(grid->xiaoTiHao(row)), tabTest(tab));
}

void TFrmErrorRedo::ActShowAll() {
  const int page = PageControl1->currentIndex();
  if (page == kDueTab) {
    showDue(true);
    return;
  }
  TStringGridSCJ *grid = testGrid(page);
  if (!grid)
    return;
  std::vector<int> numbers;
  for (int r = 0; r < grid->dataRowCount(); ++r)
    numbers.push_back(grid->xiaoTiHao(r));
  finish(m_logic.questionsPaper(numbers), tabTest(page));
}

bool TFrmErrorRedo::deleteFixedRow(int page, int row) {
  const RedoTestRow test = m_logic.rows(RedoPage(page))[std::size_t(row)];
  if (!dialogs().question(QStringLiteral("确定删除 ") + test.caption + QStringLiteral("吗？(Y/N)"),
                          WrongRedoText::ConfirmCaption))
    return false;
  try {
    m_logic.deleteTest(RedoPage(page), test.id);
  } catch (const std::exception &) {
    dialogs().information(WrongRedoText::DeleteFailed, WrongRedoText::Caption);
    return false;
  }
  if (page == int(RedoPage::Chapters)) {
    const int tab = tabOfTest(test.id);
    if (tab >= 0) {
      // The page's test goes first: removing the page shows another one.
      m_pageTests.erase(m_pageTests.begin() + (tab - kFirstTestTab));
      QWidget *w = PageControl1->widget(tab);
      PageControl1->removeTab(tab);
      delete w;
    }
    PageControl1->setCurrentIndex(TabOf(RedoPage::Chapters));
  }
  fillFixed(page);
  updateButtons();
  return true;
}

void TFrmErrorRedo::ActDel() {
  const int page = PageControl1->currentIndex();
  if (page == kDueTab)
    return;
  if (page < kFirstTestTab) {
    const int row = selectedFixedRow(page - 1);
    if (row >= 0)
      deleteFixedRow(page - 1, row);
    return;
  }
  TStringGridSCJ *grid = testGrid(page);
  const int row = grid ? grid->selectedRow() : -1;
  if (row < 0)
    return;
  if (!dialogs().question(QStringLiteral("确定要删除 ") + grid->content(row) + QStringLiteral("吗？(Y/N)"),
                          WrongRedoText::ConfirmCaption))
    return;
  try {
    m_logic.deleteQuestion(tabTest(page), grid->xiaoTiHao(row));
  } catch (const std::exception &) {
    dialogs().information(WrongRedoText::DeleteFailed, WrongRedoText::Caption);
    return;
  }
  grid->removeDataRow(row);
  if (grid->dataRowCount() > 0)
    grid->selectRow(std::min(row, grid->dataRowCount() - 1));
  fillFixed(int(RedoPage::Chapters));
  updateButtons();
}

void TFrmErrorRedo::ActDelAll() {
  const int tab = PageControl1->currentIndex();
  if (tab == kDueTab)
    return;
  if (!dialogs().question(QStringLiteral("确定将 ") + PageControl1->tabText(tab) +
                              QStringLiteral(" 下的测试记录全部删除吗？(Y/N)"),
                          WrongRedoText::ConfirmCaption))
    return;
  if (tab >= kFirstTestTab) {
    // The tab's whole test goes, with its tab, from the chapter list.
    const qint64 id = tabTest(tab);
    PageControl1->setCurrentIndex(TabOf(RedoPage::Chapters));
    const std::vector<RedoTestRow> &rows = m_logic.rows(RedoPage::Chapters);
    for (std::size_t r = 0; r < rows.size(); ++r)
      if (rows[r].id == id) {
        StringGrid1->selectRow(int(r));
        deleteFixedRow(int(RedoPage::Chapters), int(r));
        break;
      }
    return;
  }
  // The tests are collected first, then each is deleted with its own
  // confirmation, last to first: no row that is already gone is walked.
  const int page = tab - 1;
  std::vector<qint64> ids;
  for (const RedoTestRow &r : m_logic.rows(RedoPage(page)))
    ids.insert(ids.begin(), r.id);
  for (qint64 id : ids) {
    const std::vector<RedoTestRow> &rows = m_logic.rows(RedoPage(page));
    for (std::size_t r = 0; r < rows.size(); ++r)
      if (rows[r].id == id) {
        fixedGrid(page)->selectRow(int(r));
        deleteFixedRow(page, int(r));
        break;
      }
  }
}
