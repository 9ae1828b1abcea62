#pragma once
// The chapter tree of the question bank (table 题目类别) apart from the tree
// widget: the rows as loaded, the nodes in display order with their levels,
// the start node, and the statements of chapter practice.

#include "render/Global.h"

#include <QString>
#include <vector>

class TDataModule1;

// One row of 题目类别; every tree node refers to one.
struct TTreeNodeInfo {
  int ID = 0;      // 编号
  QString Name;    // 名称
  int PreNode = 0; // 父级编号, 0 for a subject
};

// One node of the tree in display order (depth first, parents before
// children); its position in the list is its absolute index.
struct CategoryNode {
  const TTreeNodeInfo *info = nullptr;
  int level = 0;   // 0 subject, 1 its children, 2 and deeper carry questions
  int parent = -1; // absolute index of the parent node, -1 for a subject
};

class CategoryTree {
public:
  CategoryTree() = default;
  // Nodes point into the lists: the tree is not copied.
  CategoryTree(const CategoryTree &) = delete;
  CategoryTree &operator=(const CategoryTree &) = delete;

  // Reads every row of 题目类别 on ADOQuery1 into the two lists, in the order
  // the query returns them, and builds the display order.
  void TreeViewLoadFromDB(TDataModule1 &dm);
  // The same from rows in hand (tests, benchmarks).
  void load(std::vector<TTreeNodeInfo> rows);

  const std::vector<TTreeNodeInfo> &topLevel() const { return m_top; }
  const std::vector<TTreeNodeInfo> &others() const { return m_others; }
  const std::vector<CategoryNode> &nodes() const { return m_nodes; }
  int count() const { return int(m_nodes.size()); }

  // The absolute index of the node to select at start: `treeViewIndex` when
  // it is not 0 and below the node count, else node 2; -1 when there is no
  // such node.
  int startNode(int treeViewIndex) const;

private:
  void build();

  std::vector<TTreeNodeInfo> m_top;    // 父级编号 = 0, query order
  std::vector<TTreeNodeInfo> m_others; // every other row, query order
  std::vector<CategoryNode> m_nodes;
};

// Roots in list order; under each node its children in the order of
// `others`, each child's subtree complete before its next sibling. Linear in
// the number of rows: children are grouped by parent in one pass. A row
// whose parent is not in the tree is left out.
std::vector<CategoryNode> BuildCategoryOrder(const std::vector<TTreeNodeInfo> &top,
                                             const std::vector<TTreeNodeInfo> &others);

// Node icons (ImageList4) by level: level 1 icon 1 (selected 1), level 2
// icon 2 (selected 3), any other level icon 0.
struct NodeIcons {
  int normal;
  int selected;
};
NodeIcons nodeIconsForLevel(int level);

// Chapter practice on the data module: the sub-questions of chapter `id` in
// ascending 小题号 (ADOQuery1), and the stored tree position (ADOQuery3).
std::vector<TXiaoTi> ChapterQuestions(TDataModule1 &dm, int id);
void StoreTreeViewIndex(TDataModule1 &dm, int index);
// The statement StoreTreeViewIndex runs.
QString TreeViewIndexStatement(int index);
