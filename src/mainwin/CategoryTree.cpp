#include "mainwin/CategoryTree.h"
#include "store/DM.h"

#include <QHash>

void CategoryTree::TreeViewLoadFromDB(TDataModule1 &dm) {
  std::vector<TTreeNodeInfo> rows;
  TADOQuery &q = dm.ADOQuery1;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT * FROM 题目类别 "));
  q.Open();
  rows.reserve(std::size_t(q.RecordCount()));
  for (q.First(); !q.Eof(); q.Next()) {
    TTreeNodeInfo info;
    info.Name = q.FieldByName(QStringLiteral("名称")).AsString();
    info.ID = q.FieldByName(QStringLiteral("编号")).AsInteger();
    info.PreNode = q.FieldByName(QStringLiteral("父级编号")).AsInteger();
    rows.push_back(std::move(info));
  }
  q.Close();
  load(std::move(rows));
}

void CategoryTree::load(std::vector<TTreeNodeInfo> rows) {
  m_top.clear();
  m_others.clear();
  m_nodes.clear();
  for (TTreeNodeInfo &row : rows)
    (row.PreNode == 0 ? m_top : m_others).push_back(std::move(row));
  build();
}

void CategoryTree::build() { m_nodes = BuildCategoryOrder(m_top, m_others); }

int CategoryTree::startNode(int treeViewIndex) const {
  if (treeViewIndex > 0 && treeViewIndex < count())
    return treeViewIndex;
  return count() > 2 ? 2 : -1;
}

std::vector<CategoryNode> BuildCategoryOrder(const std::vector<TTreeNodeInfo> &top,
                                             const std::vector<TTreeNodeInfo> &others) {
  // Children of each parent key, in list order: one pass over the rows.
  QHash<int, std::vector<int>> children;
  children.reserve(int(others.size()));
  for (int i = 0; i < int(others.size()); ++i)
    children[others[i].PreNode].push_back(i);

  std::vector<CategoryNode> order;
  order.reserve(top.size() + others.size());
  // A row is placed at most once, even where keys repeat or form a loop.
  std::vector<char> placed(others.size(), 0);

  // Depth first with an explicit stack, so a deep chain cannot exhaust the
  // call stack: each entry is a placed node and the next child to visit.
  struct Frame {
    int node;                       // absolute index of the node
    const std::vector<int> *kids;   // its children, or nullptr
    std::size_t next;               // next child to visit
  };
  std::vector<Frame> stack;
  auto kidsOf = [&](int id) -> const std::vector<int> * {
    const auto it = children.constFind(id);
    return it == children.constEnd() ? nullptr : &it.value();
  };

  for (const TTreeNodeInfo &root : top) {
    order.push_back({&root, 0, -1});
    stack.push_back({int(order.size()) - 1, kidsOf(root.ID), 0});
    while (!stack.empty()) {
      Frame &f = stack.back();
      if (!f.kids || f.next >= f.kids->size()) {
        stack.pop_back();
        continue;
      }
      const int row = (*f.kids)[f.next++];
      if (placed[std::size_t(row)])
        continue;
      placed[std::size_t(row)] = 1;
      const int parent = f.node;
      order.push_back({&others[std::size_t(row)], order[std::size_t(parent)].level + 1, parent});
      stack.push_back({int(order.size()) - 1, kidsOf(others[std::size_t(row)].ID), 0});
    }
  }
  return order;
}

NodeIcons nodeIconsForLevel(int level) {
  if (level == 1)
    return {1, 1};
  if (level == 2)
    return {2, 3};
  return {0, 0};
}

std::vector<TXiaoTi> ChapterQuestions(TDataModule1 &dm, int id) {
  TADOQuery &q = dm.ADOQuery1;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT * FROM 小题 "));
  q.SQL.Add(QStringLiteral("WHERE 所属编号="));
  q.SQL.Add(QString::number(id));
  q.SQL.Add(QStringLiteral(" ORDER BY 小题号"));
  q.Open();
  std::vector<TXiaoTi> paper;
  paper.reserve(std::size_t(q.RecordCount()));
  for (q.First(); !q.Eof(); q.Next())
    paper.push_back({q.FieldByName(QStringLiteral("小题号")).AsInteger()});
  return paper;
}

QString TreeViewIndexStatement(int index) {
  return QStringLiteral("Update 系统参数 Set 参数值=") + QuotedStr(QString::number(index)) +
         QStringLiteral(" Where  参数名=") + QuotedStr(QStringLiteral("TreeViewIndex"));
}

void StoreTreeViewIndex(TDataModule1 &dm, int index) {
  TADOQuery &q = dm.ADOQuery3;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(TreeViewIndexStatement(index));
  q.ExecSQL();
  q.Close();
}
