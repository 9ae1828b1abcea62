#include "mainwin/ActionList.h"

QAction *TActionList::add(const QString &name, const QString &caption, const QString &category) {
  auto *a = new QAction(caption, this);
  a->setObjectName(name);
  a->setProperty("category", category);
  a->setData(0);
  m_actions.append(a);
  return a;
}

QAction *TActionList::action(const QString &name) const {
  for (QAction *a : m_actions)
    if (a->objectName() == name)
      return a;
  return nullptr;
}

QList<QAction *> TActionList::inCategory(const QString &category) const {
  QList<QAction *> out;
  for (QAction *a : m_actions)
    if (TActionList::category(a) == category)
      out.append(a);
  return out;
}
