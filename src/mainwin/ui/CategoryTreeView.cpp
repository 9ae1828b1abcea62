#include "mainwin/ui/CategoryTreeView.h"
#include "mainwin/ui/Pictures.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <utility>

namespace {
constexpr int kIndexRole = Qt::UserRole + 1;

QIcon levelIcon(int level) {
  const NodeIcons icons = nodeIconsForLevel(level);
  QIcon icon;
  icon.addPixmap(Pictures::treeIcon(icons.normal), QIcon::Normal);
  icon.addPixmap(Pictures::treeIcon(icons.selected), QIcon::Selected);
  return icon;
}
} // namespace

CategoryTreeView::CategoryTreeView(QWidget *parent) : QTreeWidget(parent) {
  setColumnCount(1);
  header()->hide();
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setIndentation(25);
  setIconSize(Pictures::kTreeIconSize);
  setUniformRowHeights(true);
  setExpandsOnDoubleClick(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // The selected row keeps its highlight while the tree is unfocused.
  QPalette pal = palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               pal.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(pal);
  connect(this, &QTreeWidget::currentItemChanged, this, &CategoryTreeView::currentChanged);
}

void CategoryTreeView::clearNodes() {
  m_items.clear();
  clear();
  m_tree = nullptr;
}

void CategoryTreeView::fill(const CategoryTree &tree) {
  clearNodes();
  m_tree = &tree;
  const std::vector<CategoryNode> &nodes = tree.nodes();
  m_items.reserve(nodes.size());
  QIcon icons[3] = {levelIcon(0), levelIcon(1), levelIcon(2)};
  QList<QTreeWidgetItem *> roots;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const CategoryNode &n = nodes[i];
    QTreeWidgetItem *item = n.parent < 0 ? new QTreeWidgetItem() : new QTreeWidgetItem(m_items[std::size_t(n.parent)]);
    item->setText(0, n.info->Name);
    item->setData(0, kIndexRole, int(i));
    item->setIcon(0, icons[n.level == 1 ? 1 : n.level == 2 ? 2 : 0]);
    if (n.parent < 0)
      roots.append(item);
    m_items.push_back(item);
  }
  // The finished subtrees go in at once.
  addTopLevelItems(roots);
}

QTreeWidgetItem *CategoryTreeView::itemAt(int absoluteIndex) const {
  if (absoluteIndex < 0 || absoluteIndex >= int(m_items.size()))
    return nullptr;
  return m_items[std::size_t(absoluteIndex)];
}

int CategoryTreeView::absoluteIndex(const QTreeWidgetItem *item) const {
  return item ? item->data(0, kIndexRole).toInt() : -1;
}

int CategoryTreeView::level(const QTreeWidgetItem *item) const {
  const int i = absoluteIndex(item);
  return (m_tree && i >= 0) ? m_tree->nodes()[std::size_t(i)].level : -1;
}

const TTreeNodeInfo *CategoryTreeView::info(const QTreeWidgetItem *item) const {
  const int i = absoluteIndex(item);
  return (m_tree && i >= 0) ? m_tree->nodes()[std::size_t(i)].info : nullptr;
}

void CategoryTreeView::selectNode(int index) {
  QTreeWidgetItem *item = itemAt(index);
  if (!item)
    return;
  for (QTreeWidgetItem *p = item->parent(); p; p = p->parent())
    p->setExpanded(true);
  setCurrentItem(item);
  item->setSelected(true);
  scrollToItem(item);
}

void CategoryTreeView::currentChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous) {
  if (!current)
    return;
  current->setExpanded(true);
  if (!previous)
    return;
  // The node left collapses unless it holds the new one.
  for (QTreeWidgetItem *p = current->parent(); p; p = p->parent())
    if (p == previous)
      return;
  previous->setExpanded(false);
}

void CategoryTreeView::mouseReleaseEvent(QMouseEvent *e) {
  // A click on a node's row (not on its expand arrow) asks for its paper.
  const QPoint pos = e->position().toPoint();
  const QModelIndex at = indexAt(pos);
  const bool onNode = at.isValid() && visualRect(at).contains(pos);
  QTreeWidget::mouseReleaseEvent(e);
  // A double click opens or closes the node; its first click chose it.
  const bool second = std::exchange(m_afterDoubleClick, false);
  if (e->button() == Qt::LeftButton && onNode && currentItem() && !second)
    emit nodeChosen();
}

void CategoryTreeView::mouseDoubleClickEvent(QMouseEvent *e) {
  m_afterDoubleClick = e->button() == Qt::LeftButton;
  QTreeWidget::mouseDoubleClickEvent(e);
}

void CategoryTreeView::keyPressEvent(QKeyEvent *e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space) {
    if (currentItem() && !e->isAutoRepeat()) {
      e->accept();
      emit nodeChosen();
      return;
    }
  }
  QTreeWidget::keyPressEvent(e);
}
