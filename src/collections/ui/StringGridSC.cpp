#include "collections/ui/StringGridSC.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <algorithm>

void QuestionListModel::setRows(std::vector<Row> rows) { setRows(std::move(rows), {}); }

void QuestionListModel::setRows(std::vector<Row> rows, TextLoader loader) {
  beginResetModel();
  m_rows = std::move(rows);
  m_loader = std::move(loader);
  m_pending.assign(m_loader ? m_rows.size() : 0, true);
  endResetModel();
}

void QuestionListModel::appendRow(const Row &row) {
  beginInsertRows({}, int(m_rows.size()), int(m_rows.size()));
  m_rows.push_back(row);
  if (m_loader)
    m_pending.push_back(false);
  endInsertRows();
}

const QString &QuestionListModel::content(int row) const {
  if (m_loader && m_pending[std::size_t(row)])
    loadBlock(row);
  return m_rows[std::size_t(row)].content;
}

void QuestionListModel::loadBlock(int row) const {
  const int first = row - row % kBlock, end = std::min(int(m_rows.size()), first + kBlock);
  std::vector<int> rows, numbers;
  for (int r = first; r < end; ++r)
    if (m_pending[std::size_t(r)]) {
      rows.push_back(r);
      numbers.push_back(m_rows[std::size_t(r)].textOf);
    }
  std::vector<QString> texts;
  try {
    texts = m_loader(numbers);
  } catch (...) {
    // Asked for while painting: the block stays empty, the list usable.
    texts.clear();
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    m_rows[std::size_t(rows[i])].content = i < texts.size() ? std::move(texts[i]) : QString();
    m_pending[std::size_t(rows[i])] = false;
  }
}

void QuestionListModel::removeRowAt(int row) {
  if (row < 0 || row >= int(m_rows.size()))
    return;
  beginRemoveRows({}, row, row);
  m_rows.erase(m_rows.begin() + row);
  if (m_loader)
    m_pending.erase(m_pending.begin() + row);
  endRemoveRows();
  // 序号 of the rows below changed.
  if (row < int(m_rows.size()))
    emit dataChanged(index(row, 0), index(int(m_rows.size()) - 1, 0));
}

QVariant QuestionListModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
    return {};
  const Row &r = m_rows[std::size_t(index.row())];
  switch (index.column()) {
  case 0:
    return QString::number(index.row() + 1);
  case 1:
    return content(index.row());
  case 2:
    return r.type;
  default:
    return QString::number(r.xiaoTiHao);
  }
}

QVariant QuestionListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
    return {};
  static const char16_t *const headers[] = {u"序号", u"    题目内容", u"题目类型", u""};
  return section >= 0 && section < 4 ? QString::fromUtf16(headers[section]) : QVariant();
}

TStringGridSCJ::TStringGridSCJ(QWidget *parent) : QTableView(parent), m_model(new QuestionListModel(this)) {
  setModel(m_model);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  const QFontMetrics fm(font());
  setColumnWidth(0, fm.horizontalAdvance(QStringLiteral(" 100")) + 8);
  setColumnWidth(1, 560);
  setColumnWidth(2, fm.horizontalAdvance(QStringLiteral("题目类型")) + 18);
  setColumnHidden(3, true);
  // The content takes what the other columns leave; the type column is as
  // wide as its longest type, never cut.
  horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  connect(m_model, &QAbstractItemModel::modelReset, this, [this] { fitTypeColumn(0, m_model->rowCount() - 1, true); });
  connect(m_model, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex &, int first, int last) { fitTypeColumn(first, last, false); });
}

void TStringGridSCJ::fitTypeColumn(int first, int last, bool fresh) {
  const QFontMetrics cells(font());
  const QFontMetrics header(horizontalHeader()->font());
  const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 18;
  int width = fresh ? header.horizontalAdvance(QStringLiteral("题目类型")) + padding : columnWidth(2);
  QString last_;
  for (int i = first; i <= last; ++i) {
    const QString &type = m_model->rowAt(i).type;
    if (type == last_)
      continue; // rows come grouped by type: a few measurements for a long list
    last_ = type;
    width = std::max(width, cells.horizontalAdvance(type) + padding);
  }
  setColumnWidth(2, width);
}

void TStringGridSCJ::FillRow(int xiaoTiHao, const QString &content, const QString &type) {
  m_model->appendRow({xiaoTiHao, content, type});
}

void TStringGridSCJ::setRows(std::vector<QuestionListModel::Row> rows) { m_model->setRows(std::move(rows)); }

int TStringGridSCJ::selectedRow() const {
  const QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TStringGridSCJ::removeDataRow(int row) { m_model->removeRowAt(row); }
