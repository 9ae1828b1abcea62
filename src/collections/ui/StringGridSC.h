#pragma once
// The question-list grid: one row per sub-question with 序号 (1 … n, kept
// without gaps after removals), "    题目内容", 题目类型 and a hidden column
// holding the 小题号. A model and a view, so thousands of rows fill and
// scroll at once. Used by the favourites window and the wrong-question redo.

#include <QAbstractTableModel>
#include <QTableView>
#include <vector>

class QuestionListModel : public QAbstractTableModel {
  Q_OBJECT
public:
  struct Row {
    int xiaoTiHao = 0;
    QString content;
    QString type;
  };
  using QAbstractTableModel::QAbstractTableModel;

  void setRows(std::vector<Row> rows);
  void appendRow(const Row &row);
  void removeRowAt(int row);
  const Row &rowAt(int row) const { return m_rows[std::size_t(row)]; }

  int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
  int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 4; }
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
  std::vector<Row> m_rows;
};

class TStringGridSCJ : public QTableView {
  Q_OBJECT
public:
  explicit TStringGridSCJ(QWidget *parent = nullptr);

  // Appends one row (序号 follows the last one).
  void FillRow(int xiaoTiHao, const QString &content, const QString &type);
  void setRows(std::vector<QuestionListModel::Row> rows);
  // Data rows (the header is not a row here).
  int dataRowCount() const { return m_model->rowCount(); }
  // The selected data row, -1 for none.
  int selectedRow() const;
  // The 小题号 of data row `row` (the hidden column).
  int xiaoTiHao(int row) const { return m_model->rowAt(row).xiaoTiHao; }
  QString content(int row) const { return m_model->rowAt(row).content; }
  // Removes a data row; the rows below move up and 序号 stays 1 … n.
  void removeDataRow(int row);
  QuestionListModel *model() const { return m_model; }

private:
  QuestionListModel *m_model;
};
