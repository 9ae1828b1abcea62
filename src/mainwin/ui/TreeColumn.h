#pragma once
// The left column of the main window: a light header bar with the label
// "题库目录" above the question-bank tree.

#include <QWidget>

class CategoryTreeView;
class QLabel;
class QSplitter;

class TreeColumn : public QWidget {
  Q_OBJECT
public:
  explicit TreeColumn(QWidget *parent = nullptr);

  QWidget *header = nullptr;          // Panel8
  QLabel *label = nullptr;            // LabelMulu
  CategoryTreeView *tree = nullptr;   // TreeView1

  // The light bar style of the tree's header and the paper toolbar.
  static void styleAsBar(QWidget *w);
  // The splitter between the tree column (its first widget) and the right
  // side: a one-pixel line in the accent colour. Moving it keeps the column
  // as wide as WindowRules::clampedTreeWidth allows on the window's screen.
  static QSplitter *makeSplitter(QWidget *parent);
};
