#pragma once
// The one list of the main window's commands. Each command is a QAction
// whose objectName is the command's name (ActShiTiKu, ActSummitPaper …);
// its category groups it, its data() is its Tag.

#include <QAction>
#include <QList>
#include <QObject>

class TActionList : public QObject {
  Q_OBJECT
public:
  explicit TActionList(QObject *parent = nullptr) : QObject(parent) {}

  QAction *add(const QString &name, const QString &caption, const QString &category);
  // The command of that name; nullptr when there is none.
  QAction *action(const QString &name) const;
  const QList<QAction *> &actions() const { return m_actions; }
  QList<QAction *> inCategory(const QString &category) const;

  static QString category(const QAction *a) { return a->property("category").toString(); }
  static int Tag(const QAction *a) { return a->data().toInt(); }
  static void setTag(QAction *a, int tag) { a->setData(tag); }

private:
  QList<QAction *> m_actions;
};
