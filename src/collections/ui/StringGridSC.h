#pragma once
// Defines TStringGridSCJ, the question-list grid. Names in plain words: docs/NAMES.md
// The question-list grid: one row per sub-question with 序号 (1 … n, kept
// without gaps after removals), "    题目内容", 题目类型 and a hidden column
// holding the 小题号. A model and a view, so thousands of rows fill and
// scroll at once. Used by the favourites window and the wrong-question redo.
// The search's results come without their texts: the model reads the texts
// of the rows it is asked for, a block at a time, through a loader.

#include <QAbstractTableModel>
#include <QTableView>
#include <functional>
#include <vector>

class QuestionListModel : public QAbstractTableModel {
  Q_OBJECT
public:
  struct Row {
    int xiaoTiHao = 0;
    QString content;
    QString type;
    int textOf = 0; // with a loader: the sub-question whose 题目内容 is the content
  };
  // The texts of the sub-questions `numbers`, aligned with them; may throw.
  using TextLoader = std::function<std::vector<QString>(const std::vector<int> &numbers)>;
  using QAbstractTableModel::QAbstractTableModel;

  void setRows(std::vector<Row> rows);
  // Rows whose content is read by `loader` when first asked for (by
  // textOf). A block that fails to load shows empty texts.
  void setRows(std::vector<Row> rows, TextLoader loader);
  void appendRow(const Row &row);
  void removeRowAt(int row);
  const Row &rowAt(int row) const { return m_rows[std::size_t(row)]; }
  // The content of `row`, read first if it is not yet.
  const QString &content(int row) const;

  int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
  int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 4; }
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
  static constexpr int kBlock = 200; // rows whose texts are read together
  void loadBlock(int row) const;
  mutable std::vector<Row> m_rows;
  mutable std::vector<bool> m_pending; // aligned with m_rows while a loader is set
  TextLoader m_loader;
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
  QString content(int row) const { return m_model->content(row); }
  // Removes a data row; the rows below move up and 序号 stays 1 … n.
  void removeDataRow(int row);
  QuestionListModel *model() const { return m_model; }

private:
  // Widens the type column to the longest type of rows first..last.
  void fitTypeColumn(int first, int last, bool fresh);
  QuestionListModel *m_model;
};
