#pragma once
// The one list of the program's commands. Each command is a QAction whose
// objectName is the command's name (ActShiTiKu, ActSummitPaper …); its
// category groups it, its data() is its Tag.
//
// A feature registers its commands from its own folder with add(Command):
// name, caption, category, keys and the handler. A command registered
// without a handler is a placeholder: it exists (the window can bind a button
// to it) but is disabled, and its tooltip says so. The command registered
// later under its name takes its place: the same QAction, so whatever is
// bound to it follows. A name taken by a command with a handler cannot be
// registered again. Tooltips carry the keys.

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QSet>
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
    // to the general error handler. Empty: not available yet.
    std::function<void()> handler = {};
  };

  explicit TActionList(QObject *parent = nullptr) : QObject(parent) {}

  // Throws std::logic_error when a command with a handler already has the
  // name.
  QAction *add(const Command &command);
  QAction *add(const QString &name, const QString &caption, const QString &category);
  // The command of that name; nullptr when there is none.
  QAction *action(const QString &name) const;
  const QList<QAction *> &actions() const { return m_actions; }
  QList<QAction *> inCategory(const QString &category) const;

  static QString category(const QAction *a) { return a->property("category").toString(); }
  static int Tag(const QAction *a) { return a->data().toInt(); }
  static void setTag(QAction *a, int tag) { a->setData(tag); }
  // The command's caption without its "(&X)" accelerator, with its first key:
  // "批阅试卷 (Ctrl+Return)"; "（暂未开放）" follows when it is not available.
  static QString tipOf(const QAction *a);
  // Text with a key in brackets, as the tooltips show it.
  static QString withKey(const QString &text, const QKeySequence &key);

  static inline const QString NotAvailable = QStringLiteral("（暂未开放）");

private:
  QAction *create(const QString &name, const QString &caption, const QString &category);
  QList<QAction *> m_actions;
  QSet<QString> m_handled; // names of the commands registered with a handler
};

// The categories of the command list.
namespace CommandCategory {
inline const QString MainMenu = QStringLiteral("主菜单");
inline const QString HelpMenu = QStringLiteral("帮助菜单");
inline const QString Links = QStringLiteral("链接");
inline const QString Tree = QStringLiteral("题库目录");
inline const QString PaperToolbar = QStringLiteral("试卷工具栏");
} // namespace CommandCategory
