// test-links: widgets
// The main window's rules without clicking: menu-button picture states,
// title-bar Tag logic, size rules, chapter tree order and start node.

#include "FakeDialogs.h"
#include "ModalDriver.h"
#include "TestEnv.h"
#include "common/AppError.h"
#include "app/ui/WidgetDialogs.h"
#include "app/ActionList.h"
#include "mainwin/CategoryTree.h"
#include "mainwin/MainMenuState.h"
#include "mainwin/ui/Pictures.h"
#include "mainwin/TitleBarLogic.h"
#include "mainwin/WindowRules.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QtTest>

namespace {

// Runs events like "m3 d3 l3 s5" (move, down, leave, select) and writes the
// picture changes of each as "3H", "0N 3S" or "-", joined by " | ".
QString runMenu(MainMenuState &state, const QString &events) {
  QStringList out;
  for (const QString &ev : events.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const int i = ev.mid(1).toInt();
    MainMenuState::Changes changes;
    switch (ev.at(0).toLatin1()) {
    case 'm': changes = state.mouseMove(i); break;
    case 'l': changes = state.mouseLeave(i); break;
    case 'd': changes = state.mouseDown(i); break;
    case 's': changes = state.select(i); break;
    default: qFatal("bad event");
    }
    QStringList parts;
    for (const auto &c : changes)
      parts << QString::number(c.index) + QLatin1String(c.picture == MainMenuState::Normal  ? "N"
                                                        : c.picture == MainMenuState::Hover ? "H"
                                                                                            : "S");
    out << (parts.isEmpty() ? QStringLiteral("-") : parts.join(QLatin1Char(' ')));
  }
  return out.join(QStringLiteral(" | "));
}

TTreeNodeInfo row(int id, int parent, const QString &name = {}) {
  return {id, name.isEmpty() ? QString::number(id) : name, parent};
}

QString orderText(const CategoryTree &tree) {
  QStringList out;
  for (const CategoryNode &n : tree.nodes())
    out << QStringLiteral("%1@%2").arg(n.info->ID).arg(n.level);
  return out.join(QLatin1Char(' '));
}

} // namespace

class TstMainWindowLogic : public QObject {
  Q_OBJECT
private slots:
  // The real message boxes are parented to the active window; when that
  // window goes away while a box waits, the box goes with it and the answer
  // is No — nothing is freed twice.
  void questionOutlivesItsParent() {
    auto *parent = new QDialog;
    parent->show();
    parent->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(parent));
    QPointer<QDialog> guard(parent);
    ModalDriver driver;
    driver.onModal<QMessageBox>([guard](QMessageBox &) {
      if (guard)
        guard->deleteLater();
    });
    WidgetDialogs real;
    QVERIFY(!real.question(QStringLiteral("继续吗？"), QStringLiteral("询问")));
    QVERIFY(!guard);
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
  }

  // A feature registers a command with its caption, keys and handler: it
  // runs through the general error handler, and its tooltip carries the key.
  void commandRegistration() {
    FakeDialogs fake;
    TActionList list;
    int runs = 0;
    QAction *run = list.add({QStringLiteral("ActA"), QStringLiteral("甲(&A)"), CommandCategory::MainMenu,
                             {QKeySequence(Qt::CTRL | Qt::Key_J)}, [&runs] {
                               if (++runs == 2)
                                 throw AppError(QStringLiteral("失败了"));
                             }});
    QCOMPARE(list.action(QStringLiteral("ActA")), run);
    QCOMPARE(list.action(QStringLiteral("ActNone")), nullptr);
    QCOMPARE(TActionList::category(run), CommandCategory::MainMenu);
    QVERIFY(run->isEnabled());
    QCOMPARE(run->toolTip(), QStringLiteral("甲 (Ctrl+J)"));

    run->trigger();
    QCOMPARE(runs, 1);
    QVERIFY(fake.shown.isEmpty());
    run->trigger(); // the handler throws: the learner reads why, the program goes on
    QCOMPARE(fake.texts(), QStringList{QStringLiteral("失败了")});

    run->setText(QStringLiteral("丙"));
    QCOMPARE(run->toolTip(), QStringLiteral("丙 (Ctrl+J)"));
  }

  // Where a command appears is what it declares: a main-menu button (with
  // Ctrl+1 … Ctrl+8 before its own keys), a place in the help menu (by group,
  // then order, whatever the order of registration), a paper-toolbar button.
  // An undeclared place has no command.
  void placesAreDeclared() {
    TActionList list;
    const auto add = [&list](const char *name, CommandPlace place, QList<QKeySequence> keys = {}) {
      return list.add({QLatin1String(name), QLatin1String(name), CommandCategory::MainMenu, keys, [] {}, place});
    };
    QAction *find = add("ActFind", CommandPlace::menu(6), {QKeySequence(Qt::CTRL | Qt::Key_F)});
    QAction *late = add("ActLate", CommandPlace::help(HelpGroup::Tools, 4));
    QAction *first = add("ActFirst", CommandPlace::help(HelpGroup::Data, 0));
    QAction *full = add("ActFull", CommandPlace::paperToolbar(PaperToolbarButton::FullScreen).andHelp(HelpGroup::View, 0));
    QAction *early = add("ActEarly", CommandPlace::help(HelpGroup::Tools, 1));
    QAction *none = add("ActNone", {});

    QCOMPARE(list.inMenuSlot(6), find);
    QCOMPARE(find->shortcuts(),
             (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_7), QKeySequence(Qt::CTRL | Qt::Key_F)}));
    QCOMPARE(find->toolTip(), QStringLiteral("ActFind (Ctrl+7)"));
    for (int slot : {-1, 0, 5, 7, 8})
      QCOMPARE(list.inMenuSlot(slot), nullptr);
    QCOMPARE(list.helpMenuGroups(), (QList<QList<QAction *>>{{first}, {early, late}, {full}}));
    QCOMPARE(list.onPaperToolbar(PaperToolbarButton::FullScreen), full);
    QCOMPARE(list.onPaperToolbar(PaperToolbarButton::UISet), nullptr);
    QCOMPARE(list.onPaperToolbar(PaperToolbarButton::None), nullptr);
    QVERIFY(none->shortcuts().isEmpty());
  }

  // A name, a main-menu button and a toolbar button are taken once; a
  // command has a handler and a main-menu button is one of the eight. A
  // refused command leaves the list as it was.
  void refusedRegistrations_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("handler");
    const int none = int(PaperToolbarButton::None);
    QTest::newRow("name taken") << "ActA" << -1 << none << true;
    QTest::newRow("no handler") << "ActNew" << -1 << none << false;
    QTest::newRow("menu button taken") << "ActNew" << 2 << none << true;
    QTest::newRow("no such menu button") << "ActNew" << 8 << none << true;
    QTest::newRow("below the buttons") << "ActNew" << -2 << none << true;
    QTest::newRow("toolbar button taken") << "ActNew" << -1 << int(PaperToolbarButton::Print) << true;
  }
  void refusedRegistrations() {
    QFETCH(QString, name);
    QFETCH(int, slot);
    QFETCH(int, button);
    QFETCH(bool, handler);
    TActionList list;
    int runs = 0;
    list.add({QStringLiteral("ActA"), QStringLiteral("甲"), CommandCategory::MainMenu, {}, [&runs] { ++runs; },
              CommandPlace::menu(2)});
    list.add({QStringLiteral("ActB"), QStringLiteral("乙"), CommandCategory::PaperToolbar, {}, [] {},
              CommandPlace::paperToolbar(PaperToolbarButton::Print)});
    CommandPlace place;
    place.menuSlot = slot;
    place.toolbar = PaperToolbarButton(button);
    const std::function<void()> run = handler ? std::function<void()>([&runs] { runs += 100; }) : nullptr;
    QVERIFY_THROWS_EXCEPTION(std::logic_error,
                             list.add({name, QStringLiteral("别的"), CommandCategory::HelpMenu, {}, run, place}));
    QCOMPARE(list.actions().size(), 2);
    QCOMPARE(list.inMenuSlot(2)->objectName(), QStringLiteral("ActA"));
    QCOMPARE(list.onPaperToolbar(PaperToolbarButton::Print)->objectName(), QStringLiteral("ActB"));
    list.action(QStringLiteral("ActA"))->trigger();
    QCOMPARE(runs, 1);
  }

  void menuStates_data() {
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("pictures");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("hoverShown");
    QTest::addColumn<bool>("pressed");
    QTest::newRow("hover and leave") << "m3 l3" << "3H | 3N" << 0 << false << false;
    QTest::newRow("hover shown once") << "m3 m3" << "3H | -" << 0 << true << false;
    QTest::newRow("selected button hovers and returns selected") << "m0 l0" << "0H | 0S" << 0 << false << false;
    QTest::newRow("press moves the selection") << "m3 d3" << "3H | 0N 3S" << 3 << true << true;
    QTest::newRow("pressed: no hover, leave keeps selected") << "m3 d3 m3 l3" << "3H | 0N 3S | - | -" << 3 << false
                                                           << false;
    QTest::newRow("hover again after leaving") << "d3 m3 l3 m3" << "0N 3S | - | - | 3H" << 3 << true << false;
    QTest::newRow("press on selected changes nothing") << "m0 d0 l0" << "0H | - | 0S" << 0 << false << false;
    QTest::newRow("command moves selection") << "s5 s5" << "0N 5S | 5S" << 5 << false << false;
    QTest::newRow("leave without hover") << "l4" << "-" << 0 << false << false;
    QTest::newRow("out of range") << "m9 d-1 s8" << "- | - | -" << 0 << false << false;
  }
  void menuStates() {
    QFETCH(QString, events);
    QFETCH(QString, pictures);
    QFETCH(int, selected);
    QFETCH(bool, hoverShown);
    QFETCH(bool, pressed);
    MainMenuState state;
    QCOMPARE(runMenu(state, events), pictures);
    QCOMPARE(state.SelectedMenuIndex, selected);
    QCOMPARE(state.MenuHoverShown, hoverShown);
    QCOMPARE(state.MenuPressed, pressed);
  }

  void titleBarPictures_data() {
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("name");
    QTest::newRow("help leave") << 0 << 1 << "SysHelp1";
    QTest::newRow("min over") << 1 << 2 << "SysMin2";
    QTest::newRow("restore down") << 2 << 3 << "SysNom3";
    QTest::newRow("close leave") << 3 << 1 << "SysClose1";
    QTest::newRow("maximise over") << 4 << 2 << "SysMax2";
    QTest::newRow("unknown tag") << 5 << 1 << "";
  }
  void titleBarPictures() {
    QFETCH(int, tag);
    QFETCH(int, state);
    QFETCH(QString, name);
    QCOMPARE(TitleBar::pictureName(tag, TitleBar::State(state)), name);
    // every named picture exists with the size of its button
    if (!name.isEmpty()) {
      const QPixmap pm = Pictures::sysBitmap(name);
      QVERIFY(!pm.isNull());
      const QSize expected = tag == 0 ? QSize(76, 24) : tag == 3 ? QSize(44, 24) : QSize(27, 24);
      QCOMPARE(pm.deviceIndependentSize().toSize(), expected);
    }
  }

  void titleBarRelease() {
    using TitleBar::Command;
    const struct {
      int tag;
      Command command;
      int newTag;
    } table[] = {{0, Command::PopupHelp, 0}, {1, Command::Minimize, 1}, {2, Command::Restore, 4},
                 {3, Command::Close, 3},     {4, Command::Maximize, 2}, {7, Command::None, 7}};
    for (const auto &row : table) {
      const TitleBar::Release r = TitleBar::release(row.tag);
      QCOMPARE(int(r.command), int(row.command));
      QCOMPARE(r.newTag, row.newTag);
    }
    // Restore, then maximise: the third button swaps its picture set.
    int tag = TitleBar::maximizeButtonTag(true);
    QCOMPARE(TitleBar::pictureName(tag, TitleBar::Over), QStringLiteral("SysNom2"));
    tag = TitleBar::release(tag).newTag;
    QCOMPARE(TitleBar::pictureName(tag, TitleBar::Over), QStringLiteral("SysMax2"));
    QCOMPARE(int(TitleBar::release(tag).command), int(Command::Maximize));
    tag = TitleBar::release(tag).newTag;
    QCOMPARE(TitleBar::pictureName(tag, TitleBar::Down), QStringLiteral("SysNom3"));
  }

  void titleBarLayout() {
    const std::array<int, 4> lefts = TitleBar::buttonLefts(1024);
    QCOMPARE(lefts, (std::array<int, 4>{845, 922, 950, 978}));
    // the close button ends inside the window
    QCOMPARE(lefts[3] + TitleBar::kButtonWidths[3], 1023);
  }

  void windowSize_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("screenHeight");
    QTest::addColumn<int>("taskbar");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("too small springs back") << QSize(500, 400) << 1080 << 40 << QSize(800, 600);
    QTest::newRow("narrow only") << QSize(799, 700) << 1080 << 40 << QSize(800, 700);
    QTest::newRow("design size kept") << QSize(1024, 650) << 1080 << 40 << QSize(1024, 650);
    QTest::newRow("screen high gives up taskbar") << QSize(1920, 1080) << 1080 << 40 << QSize(1920, 1040);
    QTest::newRow("higher than screen") << QSize(1000, 1200) << 1080 << 40 << QSize(1000, 1160);
    QTest::newRow("no taskbar") << QSize(1920, 1080) << 1080 << 0 << QSize(1920, 1080);
    QTest::newRow("never below minimum") << QSize(800, 600) << 600 << 100 << QSize(800, 600);
  }
  void windowSize() {
    QFETCH(QSize, size);
    QFETCH(int, screenHeight);
    QFETCH(int, taskbar);
    QFETCH(QSize, expected);
    QCOMPARE(WindowRules::constrainedSize(size, screenHeight, taskbar), expected);
  }

  void treeColumnWidth_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("screenWidth");
    QTest::addColumn<int>("expected");
    QTest::newRow("below 220") << 100 << 1920 << 220;
    QTest::newRow("inside") << 265 << 1920 << 265;
    QTest::newRow("upper edge") << 1120 << 1920 << 1120;
    QTest::newRow("above screen - 800") << 1500 << 1920 << 1120;
    QTest::newRow("narrow screen keeps 220") << 300 << 1000 << 220;
  }
  void treeColumnWidth() {
    QFETCH(int, width);
    QFETCH(int, screenWidth);
    QFETCH(int, expected);
    QCOMPARE(WindowRules::clampedTreeWidth(width, screenWidth), expected);
    QCOMPARE(WindowRules::taskbarHeight(1080, 1040), 40);
    QCOMPARE(WindowRules::taskbarHeight(1080, 1080), 0);
  }

  // Roots in query order, children in list order whatever order the rows
  // come in, each subtree complete before the next sibling; rows whose
  // parent is not in the tree (or that form a loop) are left out.
  void treeOrder() {
    CategoryTree tree;
    tree.load({row(111, 11), row(2, 0), row(11, 1), row(21, 2), row(12, 1), row(1, 0), row(112, 11),
               row(999, 77), row(1111, 111), row(501, 502), row(502, 501), row(211, 21)});
    QCOMPARE(orderText(tree), QStringLiteral("2@0 21@1 211@2 1@0 11@1 111@2 1111@3 112@2 12@1"));
    QCOMPARE(int(tree.topLevel().size()), 2);
    QCOMPARE(int(tree.others().size()), 10);
    // parents by absolute index
    const std::vector<CategoryNode> &n = tree.nodes();
    QCOMPARE(n[0].parent, -1);
    QCOMPARE(n[2].parent, 1);
    QCOMPARE(n[6].parent, 5);
    QCOMPARE(n[7].parent, 4);
    QCOMPARE(n[8].parent, 3);

    // A chain far deeper than any call stack allows.
    std::vector<TTreeNodeInfo> chain{row(1, 0)};
    const int depth = 200000;
    for (int i = 2; i <= depth; ++i)
      chain.push_back(row(i, i - 1));
    CategoryTree deep;
    deep.load(std::move(chain));
    QCOMPARE(deep.count(), depth);
    QCOMPARE(deep.nodes().back().level, depth - 1);
  }

  void startNode_data() {
    QTest::addColumn<int>("nodes");
    QTest::addColumn<int>("treeViewIndex");
    QTest::addColumn<int>("expected");
    QTest::newRow("0 gives node 2") << 8 << 0 << 2;
    QTest::newRow("stored index") << 8 << 5 << 5;
    QTest::newRow("index 1") << 8 << 1 << 1;
    QTest::newRow("last node") << 8 << 7 << 7;
    QTest::newRow("equal to count") << 8 << 8 << 2;
    QTest::newRow("above count") << 8 << 100 << 2;
    QTest::newRow("negative") << 8 << -3 << 2;
    QTest::newRow("three nodes") << 3 << 0 << 2;
    QTest::newRow("two nodes, none") << 2 << 0 << -1;
    QTest::newRow("two nodes, index 1") << 2 << 1 << 1;
    QTest::newRow("empty tree") << 0 << 0 << -1;
  }
  void startNode() {
    QFETCH(int, nodes);
    std::vector<TTreeNodeInfo> rows;
    for (int i = 1; i <= nodes; ++i)
      rows.push_back(row(i, i - 1)); // a chain: node i has absolute index i-1
    CategoryTree tree;
    tree.load(std::move(rows));
    QFETCH(int, treeViewIndex);
    QFETCH(int, expected);
    QCOMPARE(tree.startNode(treeViewIndex), expected);
  }

  void nodeIcons() {
    const int expected[][2] = {{0, 0}, {1, 1}, {2, 3}, {0, 0}, {0, 0}};
    for (int level = 0; level < 5; ++level) {
      const NodeIcons icons = nodeIconsForLevel(level);
      QCOMPARE(icons.normal, expected[level][0]);
      QCOMPARE(icons.selected, expected[level][1]);
    }
    for (int i = 0; i < 4; ++i)
      QCOMPARE(Pictures::treeIcon(i).deviceIndependentSize().toSize(), Pictures::kTreeIconSize);
  }

  // Every menu picture has its size, and the three states differ.
  void menuPictures() {
    for (int i = 0; i < 8; ++i) {
      QSet<QByteArray> keys;
      for (auto state : {MainMenuState::Normal, MainMenuState::Hover, MainMenuState::Selected}) {
        const QPixmap pm = Pictures::menuPicture(i, state);
        QCOMPARE(pm.deviceIndependentSize().toSize(), Pictures::kMenuSize);
        const QImage img = pm.toImage();
        keys.insert(QByteArray(reinterpret_cast<const char *>(img.constBits()), img.sizeInBytes()));
      }
      QCOMPARE(keys.size(), 3);
    }
    QCOMPARE(Pictures::menuLabels().size(), 8);
  }

  void treeViewIndexStatement() {
    QCOMPARE(TreeViewIndexStatement(17), QStringLiteral("Update 系统参数 Set 参数值='17' Where  参数名='TreeViewIndex'"));
  }
};

QBRX_TEST_MAIN(TstMainWindowLogic)
#include "tst_mainwindowlogic.moc"
