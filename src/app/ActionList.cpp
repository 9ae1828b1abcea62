#include "app/ActionList.h"
#include "common/ErrorHandler.h"

#include <QRegularExpression>
#include <stdexcept>

QAction *TActionList::add(const QString &name, const QString &caption, const QString &category) {
  return add(Command{name, caption, category});
}

QAction *TActionList::create(const QString &name, const QString &caption, const QString &category) {
  auto *a = new QAction(caption, this);
  a->setObjectName(name);
  a->setProperty("category", category);
  a->setData(0);
  a->setShortcutContext(Qt::WindowShortcut);
  m_actions.append(a);
  return a;
}

QAction *TActionList::add(const Command &command) {
  if (m_handled.contains(command.name))
    throw std::logic_error("command " + command.name.toStdString() + " is registered twice");
  const auto updateTip = [](QAction *a) {
    const QString tip = tipOf(a);
    if (a->toolTip() != tip)
      a->setToolTip(tip);
  };
  QAction *a = action(command.name);
  if (a) { // a placeholder: the command takes its place
    a->setText(command.caption);
    a->setProperty("category", command.category);
  } else {
    a = create(command.name, command.caption, command.category);
    connect(a, &QAction::changed, a, [a, updateTip] { updateTip(a); });
  }
  a->setShortcuts(command.keys);
  a->setEnabled(bool(command.handler));
  if (command.handler) {
    m_handled.insert(command.name);
    connect(a, &QAction::triggered, this, [handler = command.handler] { RunCommand(handler); });
  }
  updateTip(a);
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
