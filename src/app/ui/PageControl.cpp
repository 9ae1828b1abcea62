#include "app/ui/PageControl.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QListView>
#include <QStackedWidget>
#include <QStringListModel>

TPageControl::TPageControl(QWidget *parent)
    : QWidget(parent), m_list(new QListView(this)), m_names(new QStringListModel(this)),
      m_stack(new QStackedWidget(this)), m_blank(new QWidget(m_stack)) {
  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_list->setObjectName(QStringLiteral("PageList"));
  m_list->setModel(m_names);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setUniformItemSizes(true);
  m_list->setFixedWidth(170);
  m_stack->addWidget(m_blank);
  layout->addWidget(m_list);
  layout->addWidget(m_stack, 1);
  connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex &now) {
            if (now.isValid() && now.row() != m_current)
              setCurrentIndex(now.row());
          });
}

int TPageControl::addTab(QWidget *page, const QString &text) {
  const int index = count();
  m_names->insertRows(index, 1);
  m_names->setData(m_names->index(index), text);
  m_pages.push_back(nullptr);
  setWidget(index, page);
  if (m_current < 0)
    setCurrentIndex(index);
  return index;
}

void TPageControl::addTabs(const QStringList &texts) {
  if (texts.isEmpty())
    return;
  const int first = count();
  m_names->setStringList(m_names->stringList() + texts);
  m_pages.resize(m_pages.size() + std::size_t(texts.size()), nullptr);
  if (m_current < 0)
    setCurrentIndex(first);
}

void TPageControl::setWidget(int index, QWidget *page) {
  if (index < 0 || index >= count() || !page)
    return;
  m_pages[std::size_t(index)] = page;
  m_stack->addWidget(page);
  if (index == m_current)
    showCurrent();
}

void TPageControl::removeTab(int index) {
  if (index < 0 || index >= count())
    return;
  if (QWidget *page = m_pages[std::size_t(index)])
    m_stack->removeWidget(page);
  m_pages.erase(m_pages.begin() + index);
  m_names->removeRows(index, 1);
  // As a tab strip does: the page after it (or the last one) is current.
  if (m_current > index || (m_current == index && index >= count()))
    --m_current;
  const int now = m_current;
  m_current = -2; // the current page changes even when its index does not
  setCurrentIndex(now);
}

void TPageControl::setCurrentIndex(int index) {
  if (index < 0 || index >= count()) {
    if (count() == 0) {
      m_current = -1;
      m_stack->setCurrentWidget(m_blank);
    }
    return;
  }
  if (index == m_current)
    return;
  m_current = index;
  m_list->setCurrentIndex(m_names->index(index));
  showCurrent();
  emit currentChanged(index);
}

void TPageControl::showCurrent() {
  QWidget *page = widget(m_current);
  m_stack->setCurrentWidget(page ? page : m_blank);
}

QString TPageControl::tabText(int index) const {
  return index >= 0 && index < count() ? m_names->index(index).data().toString() : QString();
}

QWidget *TPageControl::widget(int index) const {
  return index >= 0 && index < count() ? m_pages[std::size_t(index)] : nullptr;
}
