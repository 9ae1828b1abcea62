#include "app/ActionList.h"
#include "common/ErrorHandler.h"

#include <QRegularExpression>
#include <algorithm>
#include <utility>
#include <stdexcept>

QAction *TActionList::add(const Command &command) {
  const auto refuse = [&command](const char *why) {
    throw std::logic_error("command " + command.name.toStdString() + ": " + why);
  };
  const CommandPlace &place = command.place;
  if (action(command.name))
    refuse("registered twice");
  if (!command.handler)
    refuse("no handler");
  if (place.menuSlot != -1 && (place.menuSlot < 0 || place.menuSlot >= kMenuSlots))
    refuse("no such main-menu button");
  if (place.menuSlot != -1 && inMenuSlot(place.menuSlot))
    refuse("main-menu button taken");
  if (place.toolbar != PaperToolbarButton::None && onPaperToolbar(place.toolbar))
    refuse("paper-toolbar button taken");

  auto *a = new QAction(command.caption, this);
  a->setObjectName(command.name);
  a->setProperty("category", command.category);
  a->setData(0);
  a->setShortcutContext(Qt::WindowShortcut);
  QList<QKeySequence> keys = command.keys;
  if (place.menuSlot != -1)
    keys.prepend(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + place.menuSlot)));
  a->setShortcuts(keys);
  const auto updateTip = [a] {
    const QString tip = tipOf(a);
    if (a->toolTip() != tip)
      a->setToolTip(tip);
  };
  connect(a, &QAction::changed, a, updateTip);
  connect(a, &QAction::triggered, this, [this, a, handler = command.handler] {
    emit aboutToRun(a);
    RunCommand(handler);
  });
  updateTip();
  m_actions.append(a);
  m_places.append(place);
  return a;
}

void TActionList::setBadge(QAction *a, const QString &badge, const QString &note) {
  if (TActionList::badge(a) == badge && a->statusTip() == note)
    return;
  a->setProperty("badge", badge);
  // Set last: its change() tells the window.
  a->setStatusTip(QString());
  a->setStatusTip(note);
}

QAction *TActionList::action(const QString &name) const {
  for (QAction *a : m_actions)
    if (a->objectName() == name)
      return a;
  return nullptr;
}

QAction *TActionList::inMenuSlot(int slot) const {
  for (int i = 0; i < m_actions.size(); ++i)
    if (slot != -1 && m_places[i].menuSlot == slot)
      return m_actions[i];
  return nullptr;
}

QAction *TActionList::onPaperToolbar(PaperToolbarButton button) const {
  for (int i = 0; i < m_actions.size(); ++i)
    if (button != PaperToolbarButton::None && m_places[i].toolbar == button)
      return m_actions[i];
  return nullptr;
}

QList<QList<QAction *>> TActionList::helpMenuGroups() const {
  QList<int> listed;
  for (int i = 0; i < m_actions.size(); ++i)
    if (m_places[i].helpGroup >= 0)
      listed.append(i);
  // Registration order decides between equal places.
  std::stable_sort(listed.begin(), listed.end(), [this](int a, int b) {
    const CommandPlace &pa = m_places[a], &pb = m_places[b];
    return std::pair(pa.helpGroup, pa.helpOrder) < std::pair(pb.helpGroup, pb.helpOrder);
  });
  QList<QList<QAction *>> groups;
  int group = -1;
  for (int i : listed) {
    if (groups.isEmpty() || m_places[i].helpGroup != group)
      groups.append(QList<QAction *>());
    group = m_places[i].helpGroup;
    groups.last().append(m_actions[i]);
  }
  return groups;
}

QString TActionList::withKey(const QString &text, const QKeySequence &key) {
  if (key.isEmpty())
    return text;
  return text + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')');
}

QString TActionList::tipOf(const QAction *a) {
  static const QRegularExpression accelerator(QStringLiteral("\\(&.\\)"));
  return withKey(QString(a->text()).remove(accelerator), a->shortcut());
}
