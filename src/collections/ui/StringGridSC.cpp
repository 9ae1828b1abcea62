#include "collections/ui/StringGridSC.h"

#include <QFontMetrics>
#include <QHeaderView>

void QuestionListModel::setRows(std::vector<Row> rows) {
  beginResetModel();
  m_rows = std::move(rows);
  endResetModel();
}

void QuestionListModel::appendRow(const Row &row) {
  beginInsertRows({}, int(m_rows.size()), int(m_rows.size()));
  m_rows.push_back(row);
  endInsertRows();
}

void QuestionListModel::removeRowAt(int row) {
  if (row < 0 || row >= int(m_rows.size()))
    return;
  beginRemoveRows({}, row, row);
  m_rows.erase(m_rows.begin() + row);
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
    return r.content;
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
