#pragma once
// The one list of the program's commands. Each command is a QAction whose
// objectName is the command's name (ActShiTiKu, ActSummitPaper …); its
// category groups it, its data() is its Tag.
//
// A feature registers its commands from its own folder with add(Command):
// name, caption, category, keys, the handler and where the command appears
// (CommandPlace: a main-menu button, the help menu, the paper toolbar). The
// window builds its menus and bars from what the commands declare. A name, a
// main-menu button or a toolbar button is taken once. Tooltips carry the
// keys.

#include "app/CommandPlace.h"

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <functional>

class TActionList : public QObject {
  Q_OBJECT
public:
  struct Command {
    QString name;     // ActMLKC
    QString caption;  // 模拟考场
    QString category; // 主菜单
    QList<QKeySequence> keys = {};
    // Runs when the command is triggered; an exception that escapes it goes
    // to the general error handler.
    std::function<void()> handler = {};
    // A main-menu command gets Ctrl+1 … Ctrl+8 before its own keys.
    CommandPlace place = {};
  };

  explicit TActionList(QObject *parent = nullptr) : QObject(parent) {}

  // Throws std::logic_error when the name, the main-menu button or the
  // toolbar button is taken, when the main-menu button is not 0 … 7, or when
  // the command has no handler.
  QAction *add(const Command &command);
  // The command of that name; nullptr when there is none.
  QAction *action(const QString &name) const;
  const QList<QAction *> &actions() const { return m_actions; }

  // The command of main-menu button `slot`; nullptr when none declared it.
  QAction *inMenuSlot(int slot) const;
  // The help menu's commands, group by group, each group in its order.
  QList<QList<QAction *>> helpMenuGroups() const;
  // The command of that paper-toolbar button; nullptr when none declared it.
  QAction *onPaperToolbar(PaperToolbarButton button) const;
  static constexpr int kMenuSlots = 8;

  static QString category(const QAction *a) { return a->property("category").toString(); }
  static int Tag(const QAction *a) { return a->data().toInt(); }
  static void setTag(QAction *a, int tag) { a->setData(tag); }
  // The command's caption without its "(&X)" accelerator, with its first key:
  // "批阅试卷 (Ctrl+Return)".
  static QString tipOf(const QAction *a);
  // Text with a key in brackets, as the tooltips show it.
  static QString withKey(const QString &text, const QKeySequence &key);
  // A small count a command's button shows ("12"; empty: none) and a line
  // its tooltip adds (the action's status tip). The window redraws the
  // button when they change.
  static void setBadge(QAction *a, const QString &badge, const QString &note);
  static QString badge(const QAction *a) { return a->property("badge").toString(); }

signals:
  // A command was triggered and its handler is about to run (before any
  // dialog it opens): what shows which command runs updates first.
  void aboutToRun(QAction *command);

private:
  QList<QAction *> m_actions;
  QList<CommandPlace> m_places; // of m_actions, by index
};

// The categories of the command list.
namespace CommandCategory {
inline const QString MainMenu = QStringLiteral("主菜单");
inline const QString HelpMenu = QStringLiteral("帮助菜单");
inline const QString Links = QStringLiteral("链接");
inline const QString Tree = QStringLiteral("题库目录");
inline const QString PaperToolbar = QStringLiteral("试卷工具栏");
} // namespace CommandCategory
