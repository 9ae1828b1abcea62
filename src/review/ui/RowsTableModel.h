#pragma once
// A read-only table of text rows under a header row, for the review
// windows' lists: a model, so that thousands of rows fill at once.

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

class RowsTableModel : public QAbstractTableModel {
  Q_OBJECT
public:
  using QAbstractTableModel::QAbstractTableModel;

  void setRows(const QStringList &headers, const std::vector<QStringList> &rows);

  int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
  int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_headers.size()); }
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
  QStringList m_headers;
  std::vector<QStringList> m_rows;
};
