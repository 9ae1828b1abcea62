#include "render/ActionList.h"
#include "common/ErrorHandler.h"

#include <QRegularExpression>

QAction *TActionList::add(const QString &name, const QString &caption, const QString &category) {
  auto *a = new QAction(caption, this);
  a->setObjectName(name);
  a->setProperty("category", category);
  a->setData(0);
  a->setShortcutContext(Qt::WindowShortcut);
  m_actions.append(a);
  return a;
}

QAction *TActionList::add(const Command &command) {
  Q_ASSERT(!action(command.name));
  QAction *a = add(command.name, command.caption, command.category);
  a->setShortcuts(command.keys);
  a->setEnabled(bool(command.handler));
  if (command.handler)
    connect(a, &QAction::triggered, this, [handler = command.handler] { RunCommand(handler); });
  const auto updateTip = [a] {
    const QString tip = tipOf(a);
    if (a->toolTip() != tip)
      a->setToolTip(tip);
  };
  connect(a, &QAction::changed, a, updateTip);
  updateTip();
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

QString TActionList::withKey(const QString &text, const QKeySequence &key) {
  if (key.isEmpty())
    return text;
  return text + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')');
}

QString TActionList::tipOf(const QAction *a) {
  static const QRegularExpression accelerator(QStringLiteral("\\(&.\\)"));
  QString tip = withKey(QString(a->text()).remove(accelerator), a->shortcut());
  if (!a->isEnabled())
    tip += NotAvailable;
  return tip;
}
