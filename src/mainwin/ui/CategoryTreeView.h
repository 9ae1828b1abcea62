#pragma once
// The question-bank tree view: read-only, whole rows selected, the
// selection shown while unfocused, a right click selects, the selected node
// expands and the one left collapses. A left click on a node, or Enter or
// Space on the current node, asks for that node's paper.

#include "mainwin/CategoryTree.h"

#include <QTreeWidget>

class CategoryTreeView : public QTreeWidget {
  Q_OBJECT
public:
  explicit CategoryTreeView(QWidget *parent = nullptr);

  // Replaces all nodes by the nodes of `tree` (which must outlive them),
  // with icons by level.
  void fill(const CategoryTree &tree);
  // The item at an absolute index, and back; -1 for none.
  QTreeWidgetItem *itemAt(int absoluteIndex) const;
  int absoluteIndex(const QTreeWidgetItem *item) const;
  int level(const QTreeWidgetItem *item) const;
  const TTreeNodeInfo *info(const QTreeWidgetItem *item) const;
  int nodeCount() const { return int(m_items.size()); }
  // Selects a node (and makes it current and visible).
  void selectNode(int absoluteIndex);
  void clearNodes();

signals:
  void nodeChosen();

protected:
  void mouseReleaseEvent(QMouseEvent *e) override;
  void mouseDoubleClickEvent(QMouseEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;

private:
  void currentChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);

  const CategoryTree *m_tree = nullptr;
  std::vector<QTreeWidgetItem *> m_items; // by absolute index
  bool m_afterDoubleClick = false; // the release that ends a double click
};
