#include "review/ui/RowsTableModel.h"

void RowsTableModel::setRows(const QStringList &headers, const std::vector<QStringList> &rows) {
  beginResetModel();
  m_headers = headers;
  m_rows = rows;
  endResetModel();
}

QVariant RowsTableModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
    return {};
  const QStringList &row = m_rows[std::size_t(index.row())];
  const QString text = index.column() < row.size() ? row[index.column()] : QString();
  // A tooltip would read markup in a bank's text as rich text: it shows the
  // text as written.
  if (role == Qt::ToolTipRole)
    return text.isEmpty() ? QVariant()
                          : QVariant(QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() +
                                     QStringLiteral("</p>"));
  return text;
}

QVariant RowsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= m_headers.size())
    return {};
  return m_headers[section];
}
