// test-links: widgets
// The main window driven as the learner drives it, headless, on a temporary
// program directory: the start chapter's paper, clicks and keys in the
// tree, the picture buttons, the link commands, full screen, moving the
// window and closing it.
// ctest-timeout: 300

#include "BankFixture.h"
#include "FakeDialogs.h"
#include "MainWindowFixture.h"
#include "PaperHelpers.h"
#include "TestEnv.h"
#include "mainwin/ui/About.h"
#include "mainwin/ui/PictureButton.h"
#include "store/ReviewSchedule.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "mainwin/ui/Main.h"
#include "mainwin/ui/PaperToolbarBar.h"
#include "mainwin/ui/TitleStrip.h"
#include "app/ActionList.h"
#include "mainwin/ui/PictureButton.h"
#include "mainwin/ui/Pictures.h"
#include "mainwin/VendorInfo.h"
#include "render/Gbk.h"
#include "app/PaperState.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/SystemParameters.h"

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSet>
#include <QtTest>
#include <memory>

namespace {

// A value of 系统参数, read on the query the program leaves alone.
QString parameter(TFrmMain &w, const QString &key) {
  TADOQuery &q = w.dataModule()->ADOQuery4;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名=") + QuotedStr(key));
  q.Open();
  const QString v = q.IsEmpty() ? QStringLiteral("<none>") : q.FieldByName(QStringLiteral("参数值")).AsString();
  q.Close();
  return v;
}

// The sub-question numbers of a chapter, ascending.
std::vector<int> chapterNumbers(TFrmMain &w, int id) {
  TADOQuery &q = w.dataModule()->ADOQuery4;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT 小题号 FROM 小题 WHERE 所属编号=%1 ORDER BY 小题号").arg(id));
  q.Open();
  std::vector<int> out;
  for (q.First(); !q.Eof(); q.Next())
    out.push_back(q.Fields(0).AsInteger());
  q.Close();
  return out;
}

QByteArray fileBytes(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString pageText(TFrmMain &w) {
  if (!w.WebBrowser1->waitForLoad())
    return QStringLiteral("<load timed out>");
  return w.WebBrowser1->evaluate(QStringLiteral("document.body ? document.body.innerText : ''")).toString();
}

// The first node of the tree at `level`, searching from the end when
// `last` is set.
int nodeAtLevel(TFrmMain &w, int level, bool last) {
  const std::vector<CategoryNode> &nodes = w.categoryTree().nodes();
  const int n = int(nodes.size());
  for (int k = 0; k < n; ++k) {
    const int i = last ? n - 1 - k : k;
    if (nodes[std::size_t(i)].level == level)
      return i;
  }
  return -1;
}

// Left click on a node's row, as the learner does it (branches opened so the
// row can be seen).
void clickNode(CategoryTreeView *tree, int index) {
  QTreeWidgetItem *item = tree->itemAt(index);
  QVERIFY(item);
  for (QTreeWidgetItem *p = item->parent(); p; p = p->parent())
    p->setExpanded(true);
  tree->scrollToItem(item);
  const QRect r = tree->visualItemRect(item);
  QVERIFY(r.isValid());
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, r.center());
}

const QString kSmallBankTree = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目甲',0,'0'),(10,'第一章',1,'1'),"
    "(100,'第一节 有题',10,'2'),(101,'第二节 无题',10,'2');\n"
    "INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(1,'单项选择题','',1);\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释) VALUES"
    "(7,7,100,'单项选择题',1,'题七','A','解七'),(3,3,100,'单项选择题',1,'题三','B','解三');\n"
    "INSERT INTO 答案选项(大题号,小题号,答案编号,答题选项) VALUES(7,7,1,'甲'),(7,7,2,'乙'),(3,3,1,'丙'),(3,3,2,'丁');\n"
    "INSERT INTO 系统参数(参数名,参数值) VALUES('TreeViewIndex','0'),('软件标题','小题库');\n");

} // namespace

class TstMainWindow : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindowFixture> m_fixture;
  PaperState &paperState() const { return m_fixture->paperState(); }
  FakeDialogs *m_dialogs = nullptr;

  TFrmMain &w() { return *m_fixture->window; }

private slots:
  // Every test starts on its own window and bank: any one of them runs
  // alone.
  void init() {
    m_fixture = std::make_unique<MainWindowFixture>();
    m_dialogs = &m_fixture->dialogs;
    QVERIFY(!w().startupFailed());
    QVERIFY(m_fixture->showActive());
    m_dialogs->shown.clear();
  }

  void cleanup() {
    m_dialogs = nullptr;
    m_fixture.reset();
  }

  // At start the tree is loaded and absolute node 2, the first section of
  // the first chapter, is selected and its paper is on display.
  void startShowsStartNodePaper() {
    const CategoryTree &tree = w().categoryTree();
    QVERIFY(tree.count() > 3);
    QCOMPARE(w().TreeView1->nodeCount(), tree.count());
    const CategoryNode &start = tree.nodes()[2];
    QCOMPARE(start.level, 2);
    QCOMPARE(w().TreeView1->absoluteIndex(w().TreeView1->currentItem()), 2);

    QCOMPARE(paperState().kind, PaperKinds::Chapter);
    QCOMPARE(paperState().chapterId, start.info->ID);
    QCOMPARE(paperState().title, start.info->Name);
    QVERIFY(paperState().onDisplay);
    const std::vector<int> numbers = chapterNumbers(w(), start.info->ID);
    QVERIFY(!numbers.empty());
    QCOMPARE(::numbers(paperState().paper), numbers);
    QCOMPARE(parameter(w(), QStringLiteral("TreeViewIndex")), QStringLiteral("2"));

    const QString page = w().programDir().questionPagePath();
    QVERIFY(fileBytes(page).contains(Gbk::encode(start.info->Name)));
    QVERIFY(w().WebBrowser1->waitForLoad());
    QCOMPARE(w().WebBrowser1->url(), QUrl::fromLocalFile(page));
    QVERIFY(pageText(w()).contains(start.info->Name));

    QCOMPARE(w().Panel1->menuState.SelectedMenuIndex, 0);
    QVERIFY(w().PanelPaperToolBar->PanelPaperToolbar1->isVisibleTo(&w()));
    QVERIFY(w().PanelPaperToolBar->ImagePaperTools3->isVisibleTo(&w()));
    QCOMPARE(w().LabelMulu->text(), QStringLiteral("题库目录"));
    QCOMPARE(w().Panel1->LabTitle->text(), SoftTitle);
    QVERIFY(m_dialogs->shown.isEmpty());
  }

  // A click on another section puts that section's paper in Question.html
  // and on screen and stores the node's index; a click on a chapter or a
  // subject changes nothing.
  void clickOnTree() {
    const int target = nodeAtLevel(w(), 2, true);
    QVERIFY(target > 2);
    const TTreeNodeInfo *info = w().categoryTree().nodes()[std::size_t(target)].info;
    const QString page = w().programDir().questionPagePath();

    clickNode(w().TreeView1, target);
    QCOMPARE(w().TreeView1->absoluteIndex(w().TreeView1->currentItem()), target);
    QVERIFY(fileBytes(page).contains(Gbk::encode(info->Name)));
    QVERIFY(pageText(w()).contains(info->Name));
    QCOMPARE(parameter(w(), QStringLiteral("TreeViewIndex")), QString::number(target));
    QCOMPARE(w().TreeViewIndex, target);
    QCOMPARE(paperState().chapterId, info->ID);
    QCOMPARE(numbers(paperState().paper), chapterNumbers(w(), info->ID));

    // A double click runs it once (its second click only opens or closes).
    QSignalSpy practice(w().command(QStringLiteral("ActSCSTKST")), &QAction::triggered);
    const QPoint at = w().TreeView1->visualItemRect(w().TreeView1->itemAt(target)).center();
    QWidget *viewport = w().TreeView1->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    QCOMPARE(practice.size(), 1);

    const QByteArray before = fileBytes(page);
    for (int level : {1, 0}) {
      clickNode(w().TreeView1, nodeAtLevel(w(), level, false));
      QCOMPARE(w().TreeView1->level(w().TreeView1->currentItem()), level);
    }
    QCOMPARE(paperState().title, info->Name);
    QCOMPARE(paperState().chapterId, info->ID);
    QCOMPARE(parameter(w(), QStringLiteral("TreeViewIndex")), QString::number(target));
    QCOMPARE(fileBytes(page), before);
    QVERIFY(m_dialogs->shown.isEmpty());
  }

  // Arrow keys move through the tree, Enter practises the current section;
  // the main-menu command reselects the last practised node.
  void keyboard() {
    w().TreeView1->selectNode(2);
    w().TreeView1->setFocus();
    QTest::keyClick(w().TreeView1, Qt::Key_Down);
    const int next = w().TreeView1->absoluteIndex(w().TreeView1->currentItem());
    QCOMPARE(next, 3);
    QCOMPARE(w().TreeView1->level(w().TreeView1->currentItem()), 2);
    QTest::keyClick(w().TreeView1, Qt::Key_Return);
    // The name, not the node: 试题库 below builds the tree again.
    const QString name = w().categoryTree().nodes()[3].info->Name;
    QCOMPARE(paperState().title, name);
    QCOMPARE(parameter(w(), QStringLiteral("TreeViewIndex")), QStringLiteral("3"));
    QVERIFY(pageText(w()).contains(name));

    // The node reached opens, so Down walks every node in display order
    // and Up walks back; moving alone builds no paper.
    QTest::keyClick(w().TreeView1, Qt::Key_Home);
    QCOMPARE(w().TreeView1->absoluteIndex(w().TreeView1->currentItem()), 0);
    const int count = w().TreeView1->nodeCount();
    for (int i = 1; i < count; ++i) {
      QTest::keyClick(w().TreeView1, Qt::Key_Down);
      QCOMPARE(w().TreeView1->absoluteIndex(w().TreeView1->currentItem()), i);
    }
    QTest::keyClick(w().TreeView1, Qt::Key_Up);
    QCOMPARE(w().TreeView1->absoluteIndex(w().TreeView1->currentItem()), count - 2);
    QCOMPARE(paperState().title, name);

    w().command(QStringLiteral("ActShiTiKu"))->trigger();
    QCOMPARE(w().TreeView1->absoluteIndex(w().TreeView1->currentItem()), 3);
    QCOMPARE(paperState().title, name);

    // Shortcuts are shown in the tooltips.
    const QString ctrl1 = QKeySequence(Qt::CTRL | Qt::Key_1).toString(QKeySequence::NativeText);
    QVERIFY2(w().Panel1->MenuImages[0]->toolTip().contains(ctrl1), qPrintable(w().Panel1->MenuImages[0]->toolTip()));
    QVERIFY(w().Panel1->MenuImages[7]->toolTip().contains(QKeySequence(Qt::CTRL | Qt::Key_8).toString(QKeySequence::NativeText)));
    QVERIFY(w().command(QStringLiteral("ActFullScreen"))->toolTip().contains(QStringLiteral("F11")));
    QVERIFY(w().Panel1->SysIcons[0]->toolTip().contains(QStringLiteral("F10")));
  }

  // The 错题库 button counts the questions due for review (the demo
  // history's wrong answers are), in a small badge and its tooltip.
  void redoButtonCountsDueQuestions() {
    const int due = ReviewSchedule::dueCount(w().dataModule()->ADOConnection1, QDate::currentDate());
    QVERIFY(due > 0);
    PictureButton *b = w().Panel1->MenuImages[2];
    QCOMPARE(b->badge(), QString::number(due));
    QVERIFY2(b->toolTip().endsWith(QStringLiteral("\n今日复习：%1 题到期").arg(due)), qPrintable(b->toolTip()));
  }

  // Pressing a menu button selects it; releasing runs its command, also when
  // it was selected already.
  void menuButtons() {
    m_dialogs->openedUrls.clear();
    PictureButton *outline = w().Panel1->MenuImages[3];
    QTest::mousePress(outline, Qt::LeftButton);
    QCOMPARE(w().Panel1->menuState.SelectedMenuIndex, 3);
    QVERIFY(w().Panel1->menuState.MenuPressed);
    QTest::mouseRelease(outline, Qt::LeftButton);
    QCOMPARE(m_dialogs->openedUrls, QStringList{FeedbackUrl});

    const QImage selected = outline->pixmap().toImage();
    QTest::mousePress(outline, Qt::LeftButton);
    QTest::mouseRelease(outline, Qt::LeftButton);
    QCOMPARE(outline->pixmap().toImage(), selected);
    QCOMPARE(m_dialogs->openedUrls.size(), 2);

    // Space on a focused button acts as a click; chapter practice takes
    // the selection back to button 0.
    w().Panel1->MenuImages[0]->setFocus();
    QTest::keyClick(w().Panel1->MenuImages[0], Qt::Key_Space);
    QCOMPARE(w().Panel1->menuState.SelectedMenuIndex, 0);
    QCOMPARE(paperState().kind, PaperKinds::Chapter);
  }

  // The window shows what the commands declare: each main-menu button runs
  // its command, with Ctrl+1 … Ctrl+8 in its tooltip; the help menu lists
  // its commands in this order, separators between the groups; each
  // paper-toolbar button runs its command, and its tooltip carries the key.
  void commandPlaces() {
    const QStringList menu = {"ActShiTiKu", "ActMLKC",        "ActErrorRedo", "ActShiTiJiQiao",
                              "ActSCJST",   "ActTongJiFenXi", "ActSTCZ",      "ActYHSZ"};
    for (int i = 0; i < 8; ++i) {
      QAction *a = w().menuAction(i);
      QVERIFY2(a, qPrintable(menu[i]));
      QCOMPARE(a->objectName(), menu[i]);
      QCOMPARE(a->shortcut(), QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)));
      PictureButton *b = w().Panel1->MenuImages[std::size_t(i)];
      QVERIFY(b->isEnabled());
      QVERIFY2(b->toolTip().contains(QStringLiteral("Ctrl+%1").arg(i + 1)), qPrintable(b->toolTip()));
      QVERIFY2(!b->toolTip().contains(QStringLiteral("暂未开放")), qPrintable(b->toolTip()));
    }
    QCOMPARE(w().menuAction(8), nullptr);
    QCOMPARE(w().command(QStringLiteral("ActSTCZ"))->shortcuts().value(1), QKeySequence(Qt::CTRL | Qt::Key_F));

    QStringList help;
    for (QAction *a : w().PopupMenuHelp->actions())
      help << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    QCOMPARE(help, QStringList({"ActShuJuBeiFen", "ActShuJuHuanYuan", "ActAbout", "ActSite", "|",
                                "ActHelp", "ActUpdate", "ActWGZX", "ActSTGL", "ActCWFK", "|",
                                "ActZKXX", "ActBMBZ", "ActZWCX", "ActZZFW", "|", "ActFullScreen"}));
    for (QAction *a : w().PopupMenuHelp->actions())
      QVERIFY2(a->isSeparator() || a->isEnabled(), qPrintable(a->objectName()));

    const QStringList toolbar = {"ActReAnswer", "ActShowAllAnswer", "ActSummitPaper", "ActUISet",
                                 "ActPrint",    "ActZoomIn",        "ActZoomOut",     "ActFullScreen"};
    PaperToolbarBar *bar = w().PanelPaperToolBar;
    for (int i = 0; i < PaperToolbar::kButtonCount; ++i) {
      QAction *a = bar->commandOf(bar->paperTools.tag(i));
      QVERIFY2(a, qPrintable(toolbar[i]));
      QCOMPARE(a->objectName(), toolbar[i]);
      QCOMPARE(TActionList::category(a), QStringLiteral("试卷工具栏"));
      QCOMPARE(bar->button(i)->toolTip(), TActionList::tipOf(a));
      QVERIFY(bar->button(i)->isEnabled());
      if (!a->shortcut().isEmpty())
        QVERIFY2(bar->button(i)->toolTip().contains(a->shortcut().toString(QKeySequence::NativeText)),
                 qPrintable(bar->button(i)->toolTip()));
    }
    QCOMPARE(bar->button(2)->toolTip(), QStringLiteral("批阅试卷 (Ctrl+Return)"));
    QCOMPARE(bar->button(3)->toolTip(), QStringLiteral("界面设置"));
    QCOMPARE(w().command(QStringLiteral("ActShiTiJiQiao"))->text(), QStringLiteral("考试大纲"));
  }

  // Every registered command has a place the learner reaches (a main-menu
  // button, the help menu, the paper toolbar, or the tree that runs it) and
  // is enabled; its keys and its button run it: Ctrl+H shows the answers of
  // the paper on display and the toolbar's button hides them again.
  void everyCommandHasAPlace() {
    QSet<QAction *> placed;
    for (int i = 0; i < TActionList::kMenuSlots; ++i)
      placed << w().menuAction(i);
    for (QAction *a : w().PopupMenuHelp->actions())
      placed << a;
    PaperToolbarBar *bar = w().PanelPaperToolBar;
    for (int i = 0; i < PaperToolbar::kButtonCount; ++i)
      placed << bar->commandOf(bar->paperTools.tag(i));
    const QList<QAction *> &all = w().ActionManager1->actions();
    QVERIFY(all.size() > 20);
    for (QAction *a : all) {
      QVERIFY2(placed.contains(a) || TActionList::category(a) == CommandCategory::Tree, qPrintable(a->objectName()));
      QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    }

    QAction *showAll = w().command(QStringLiteral("ActShowAllAnswer"));
    QVERIFY(placed.contains(showAll));
    QSignalSpy runs(showAll, &QAction::triggered);
    const QString answer = QStringLiteral("document.getElementById('Answer1').style.display");
    QVERIFY(w().WebBrowser1->waitForLoad());
    QCOMPARE(w().WebBrowser1->evaluate(answer).toString(), QStringLiteral("none"));
    QCOMPARE(TActionList::Tag(showAll), 0);
    QTest::keyClick(&w(), Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(runs.count(), 1);
    QCOMPARE(TActionList::Tag(showAll), 1);
    QTRY_VERIFY(w().WebBrowser1->evaluate(answer).toString() != QLatin1String("none"));

    PictureButton *button = nullptr;
    for (int i = 0; i < PaperToolbar::kButtonCount; ++i)
      if (bar->commandOf(bar->paperTools.tag(i)) == showAll)
        button = bar->button(i);
    QVERIFY(button);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(4, 4));
    QCOMPARE(runs.count(), 2);
    QCOMPARE(TActionList::Tag(showAll), 0);
    QTRY_COMPARE(w().WebBrowser1->evaluate(answer).toString(), QStringLiteral("none"));
    QVERIFY(m_dialogs->shown.isEmpty());
  }

  // A strip and a toolbar whose commands were never registered (a command
  // renamed or left out): the buttons are greyed and a click does nothing.
  void buttonsWithoutCommands() {
    TActionList none;
    QWidget host;
    TitleStrip strip(none, &host);
    PaperToolbarBar bar(none, &host);
    for (PictureButton *b : strip.MenuImages) {
      QVERIFY(!b->isEnabled());
      QTest::mousePress(b, Qt::LeftButton);
      QTest::mouseRelease(b, Qt::LeftButton);
    }
    QCOMPARE(strip.menuState.SelectedMenuIndex, 0);
    QCOMPARE(strip.MenuImages[6]->toolTip(), Pictures::menuLabels().value(6));
    bar.showPaperGroup();
    bar.InitShowAnswer();
    for (int i = 0; i < PaperToolbar::kButtonCount; ++i) {
      QCOMPARE(bar.commandOf(bar.paperTools.tag(i)), nullptr);
      QVERIFY(!bar.button(i)->isEnabled());
      QCOMPARE(bar.button(i)->toolTip(), PaperToolbar::label(bar.paperTools.tag(i)));
    }
    bar.showAnswerState(1);
    bar.showFullScreenState(true);
  }

  // The help button's release opens the help menu under the button.
  void helpMenu() {
    // The help button's release opens it under the button.
    PictureButton *help = w().Panel1->SysIcons[0];
    QTest::mousePress(help, Qt::LeftButton);
    QTest::mouseRelease(help, Qt::LeftButton);
    QTRY_VERIFY(w().PopupMenuHelp->isVisible());
    QVERIFY(w().PopupMenuHelp->geometry().top() >= help->mapToGlobal(QPoint(0, help->height())).y());
    w().PopupMenuHelp->hide();
    w().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w()));
  }

  // Targets that come from the bank are named here and read in the test,
  // on the test's own window.
  void linkCommands_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("target");
    QTest::newRow("考试大纲") << "ActShiTiJiQiao" << "FeedbackUrl";
    QTest::newRow("官方网站") << "ActSite" << VendorInfo::SiteUrl;
    QTest::newRow("错误反馈") << "ActCWFK" << VendorInfo::FeedbackPageUrl;
    QTest::newRow("增值服务") << "ActZZFW" << "ValueAddedUrl";
    QTest::newRow("职位查询") << "ActZWCX" << "parameter:职位查询";
    QTest::newRow("使用帮助") << "ActHelp" << "file:css/help/help.html";
  }

  // A bank without the address (the installed template when the vendor
  // set none): the command says it is not configured, opens nothing and
  // leaves the page as it is.
  void unconfiguredBankAddresses_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("key");
    QTest::newRow("考试大纲") << "ActShiTiJiQiao" << "错误反馈网址";
    QTest::newRow("增值服务") << "ActZZFW" << "增值服务网址";
    QTest::newRow("职位查询") << "ActZWCX" << "职位查询";
    QTest::newRow("招考信息") << "ActZKXX" << "招考信息";
  }

  void unconfiguredBankAddresses() {
    QFETCH(QString, action);
    QFETCH(QString, key);
    const QString kept = parameter(w(), key);
    const QString keptFeedback = FeedbackUrl, keptValueAdded = ValueAddedUrl;
    const auto setParameter = [&](const QString &value) {
      TADOQuery &q = w().dataModule()->ADOQuery4;
      q.Close();
      q.SQL.Clear();
      q.SQL.Add(QStringLiteral("UPDATE 系统参数 SET 参数值=%1 WHERE 参数名=%2").arg(QuotedStr(value), QuotedStr(key)));
      q.ExecSQL();
    };
    setParameter(QStringLiteral(" "));
    FeedbackUrl.clear();
    ValueAddedUrl.clear();
    const QUrl page = w().WebBrowser1->url();
    m_dialogs->openedUrls.clear();
    m_dialogs->shown.clear();
    w().ActionManager1->action(action)->trigger();
    setParameter(kept);
    FeedbackUrl = keptFeedback;
    ValueAddedUrl = keptValueAdded;
    QVERIFY(m_dialogs->openedUrls.isEmpty());
    QCOMPARE(m_dialogs->texts(), QStringList{VendorInfo::NotConfigured(QString::fromUtf8(QTest::currentDataTag()))});
    QCOMPARE(w().WebBrowser1->url(), page);
    m_dialogs->shown.clear();
  }

  void linkCommands() {
    QFETCH(QString, action);
    QFETCH(QString, target);
    if (target == QLatin1String("FeedbackUrl"))
      target = FeedbackUrl;
    else if (target == QLatin1String("ValueAddedUrl"))
      target = ValueAddedUrl;
    else if (target.startsWith(QLatin1String("parameter:")))
      target = parameter(w(), target.mid(10));
    else if (target.startsWith(QLatin1String("file:")))
      target = w().programDir().resolve(target.mid(5));
    m_dialogs->openedUrls.clear();
    w().ActionManager1->action(action)->trigger();
    if (target.isEmpty()) {
      // An address the vendor did not set when the program was built.
      QVERIFY(m_dialogs->openedUrls.isEmpty());
      QCOMPARE(m_dialogs->texts(), QStringList{VendorInfo::NotConfigured(QString::fromUtf8(QTest::currentDataTag()))});
      m_dialogs->shown.clear();
      return;
    }
    QCOMPARE(m_dialogs->openedUrls, QStringList{target});
    QVERIFY(m_dialogs->shown.isEmpty());
    if (action == QLatin1String("ActHelp"))
      QVERIFY(QFile::exists(target));
  }

  // 招考信息 hides the tree column and shows its address; 报名帮助 brings
  // the column back with the shipped page; 联系我们 shows the contact form.
  void pagesAndForms() {
    w().command(QStringLiteral("ActZKXX"))->trigger();
    QVERIFY(!w().Panel6->isVisible());
    // The demo's address is not reachable here: the page in its place names it.
    QTRY_VERIFY_WITH_TIMEOUT(pageText(w()).contains(parameter(w(), QStringLiteral("招考信息"))), 30000);
    QVERIFY(pageText(w()).contains(QStringLiteral("无法打开招考信息")));

    w().command(QStringLiteral("ActBMBZ"))->trigger();
    QVERIFY(w().Panel6->isVisible());
    const QString baokao = w().programDir().resolve(QStringLiteral("css/BaoKao/baokao.html"));
    QVERIFY(QFile::exists(baokao));
    QVERIFY(pageText(w()).contains(QStringLiteral("报名帮助")));

    w().command(QStringLiteral("ActZKXX"))->trigger();
    w().command(QStringLiteral("ActShiTiKu"))->trigger();
    QVERIFY(w().Panel6->isVisible());

    QString title, lines;
    m_dialogs->modalHandler = [&](QDialog &d) {
      title = d.windowTitle();
      lines = static_cast<TFrmAbout &>(d).LabContacts->text();
      return int(QDialog::Accepted);
    };
    w().command(QStringLiteral("ActAbout"))->trigger();
    m_dialogs->modalHandler = nullptr;
    QCOMPARE(m_dialogs->modalForms.last(), QStringLiteral("TFrmAbout"));
    QCOMPARE(title, QStringLiteral("联系我们"));
    QCOMPARE(lines, VendorInfo::ContactLines().join(QLatin1Char('\n')));
    QVERIFY(!lines.isEmpty());
  }

  void fullScreen() {
    w().command(QStringLiteral("ActFullScreen"))->trigger();
    QCOMPARE(TActionList::Tag(w().command(QStringLiteral("ActFullScreen"))), 1);
    QCOMPARE(w().command(QStringLiteral("ActFullScreen"))->text(), QStringLiteral("窗口"));
    QVERIFY(!w().Panel1->isVisible());
    QVERIFY(!w().Panel6->isVisible());
    QVERIFY(w().PanelPaperToolBar->isVisible());
    QVERIFY(w().WebBrowser1->isVisible());
    QTest::keyClick(&w(), Qt::Key_Escape);
    QCOMPARE(TActionList::Tag(w().command(QStringLiteral("ActFullScreen"))), 0);
    QCOMPARE(w().command(QStringLiteral("ActFullScreen"))->text(), QStringLiteral("全屏"));
    QVERIFY(w().Panel1->isVisible());
    QVERIFY(w().Panel6->isVisible());
  }

  // Dragging the title moves a window that is not maximised; a maximised
  // one stays; restore and maximise swap the third title-bar button.
  void moveAndMaximise() {
    w().showNormal();
    QTRY_VERIFY(!w().isMaximized());
    QCOMPARE(w().Panel1->SysIcons[2]->Tag, 4);
    const QPoint start = w().pos();
    QLabel *title = w().Panel1->LabTitle;
    QTest::mousePress(title, Qt::LeftButton, {}, QPoint(20, 8));
    QTest::mouseMove(title, QPoint(60, 28));
    QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(60, 28));
    QTRY_COMPARE(w().pos(), start + QPoint(40, 20));

    PictureButton *max = w().Panel1->SysIcons[2];
    QTest::mousePress(max, Qt::LeftButton);
    QTest::mouseRelease(max, Qt::LeftButton);
    QTRY_VERIFY(w().isMaximized());
    QCOMPARE(max->Tag, 2);
    const QPoint maximised = w().pos();
    QTest::mousePress(title, Qt::LeftButton, {}, QPoint(20, 8));
    QTest::mouseMove(title, QPoint(80, 48));
    QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(80, 48));
    QCOMPARE(w().pos(), maximised);

    // (the offscreen platform keeps no geometry for a maximised window, so
    // the move is handed to the button itself)
    QMouseEvent hover(QEvent::MouseMove, QPointF(4, 4), max->mapToGlobal(QPointF(4, 4)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(max, &hover);
    QCOMPARE(max->property("picture").toString(), QStringLiteral("SysNom2"));
    QTest::mousePress(max, Qt::LeftButton);
    QTest::mouseRelease(max, Qt::LeftButton);
    QTRY_VERIFY(!w().isMaximized());
    QCOMPARE(max->Tag, 4);

    w().resize(500, 400);
    QTRY_COMPARE(w().size(), QSize(800, 600));
  }

  // No keeps the window and the page; Yes closes it and deletes the page.
  void closeAsks() {
    const QString page = w().programDir().questionPagePath();
    QVERIFY(QFile::exists(page));
    m_dialogs->answers = {false};
    QVERIFY(!w().close());
    QVERIFY(w().isVisible());
    QVERIFY(QFile::exists(page));
    QCOMPARE(m_dialogs->shown.size(), 1);
    QCOMPARE(m_dialogs->shown[0].text, QStringLiteral("是否要退出系统？(Y/N)"));
    QCOMPARE(m_dialogs->shown[0].caption, QStringLiteral("询问"));
    QCOMPARE(m_dialogs->shown[0].icon, Dialogs::Icon::Question);

    m_dialogs->answers = {true};
    QVERIFY(w().close());
    QVERIFY(!w().isVisible());
    QVERIFY(!QFile::exists(page));
    QVERIFY(QFile::exists(w().programDir().bankPath()));
  }

  // A section without questions: "没有试题！", and nothing else changes.
  void emptyChapter() {
    FakeDialogs dialogs;
    TestEnv::ProgramDirFixture dir({kSmallBankTree});
    TFrmMain win{ProgramDir(dir.root())};
    QVERIFY(!win.startupFailed());
    win.show();
    QVERIFY(QTest::qWaitForWindowExposed(&win));
    QCOMPARE(win.paperState().title, QStringLiteral("第一节 有题"));
    QCOMPARE(numbers(win.paperState().paper), (std::vector<int>{3, 7}));
    const QByteArray page = fileBytes(win.programDir().questionPagePath());

    clickNode(win.TreeView1, 3);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].text, QStringLiteral("没有试题！"));
    QCOMPARE(dialogs.shown[0].caption, QStringLiteral("提示"));
    QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::Information);
    QCOMPARE(numbers(win.paperState().paper), (std::vector<int>{3, 7})); // the paper on display stays
    QCOMPARE(win.paperState().kind, PaperKinds::Chapter);
    QCOMPARE(win.paperState().chapterId, 100);
    QCOMPARE(win.TreeViewIndex, 2);
    QCOMPARE(parameter(win, QStringLiteral("TreeViewIndex")), QStringLiteral("2"));
    QCOMPARE(fileBytes(win.programDir().questionPagePath()), page);
    win.hide();
  }

  // A paper of more than PaperText::LargePaper sub-questions is offered with
  // its count: no keeps the paper on display and its page; yes shows it.
  void largePaperAsksFirst() {
    const PaperState before = paperState();
    const QByteArray page = fileBytes(w().programDir().questionPagePath());
    PaperRequest request;
    request.kind = PaperKinds::Search;
    request.title = QStringLiteral("试题查找");
    for (int x = 1; x <= PaperText::LargePaper + 1; ++x)
      request.paper.push_back(TXiaoTi{x});
    m_dialogs->answers = {false};
    QVERIFY(!w().showPaper(request));
    QCOMPARE(m_dialogs->shown.size(), 1);
    QVERIFY(m_dialogs->shown[0].text.contains(QString::number(PaperText::LargePaper + 1)));
    QCOMPARE(m_dialogs->shown[0].caption, PaperText::LargePaperCaption);
    QCOMPARE(paperState().kind, before.kind);
    QCOMPARE(paperState().title, before.title);
    QCOMPARE(fileBytes(w().programDir().questionPagePath()), page);

    m_dialogs->answers = {true};
    QVERIFY(w().showPaper(request));
    QCOMPARE(m_dialogs->shown.size(), 2);
    QCOMPARE(paperState().kind, PaperKinds::Search);
    QCOMPARE(paperState().paper.size(), size_t(PaperText::LargePaper + 1));

    // One sub-question fewer: no question.
    request.paper.pop_back();
    QVERIFY(w().showPaper(request));
    QCOMPARE(m_dialogs->shown.size(), 2);
  }

  // A paper of more than PaperText::MaxPaper sub-questions is offered as its
  // first MaxPaper: no keeps the paper on display, yes shows that part in the
  // request's order, asked once.
  void tooLargePaperOffersItsFirstPart() {
    const PaperState before = paperState();
    PaperRequest request;
    request.kind = PaperKinds::Search;
    request.title = QStringLiteral("试题查找");
    for (qsizetype x = PaperText::MaxPaper + 5; x >= 1; --x)
      request.paper.push_back(TXiaoTi{int(x)});
    m_dialogs->answers = {false};
    QVERIFY(!w().showPaper(request));
    QCOMPARE(m_dialogs->shown.size(), 1);
    QCOMPARE(m_dialogs->shown[0].text, PaperText::TooLargePaperQuestion(PaperText::MaxPaper + 5));
    QCOMPARE(paperState().title, before.title);
    QCOMPARE(paperState().paper.size(), before.paper.size());

    m_dialogs->answers = {true};
    QVERIFY(w().showPaper(request));
    QCOMPARE(m_dialogs->shown.size(), 2);
    QCOMPARE(paperState().kind, PaperKinds::Search);
    QCOMPARE(paperState().paper.size(), size_t(PaperText::MaxPaper));
    QCOMPARE(paperState().paper.front().XiaoTiHao, int(PaperText::MaxPaper + 5));
    QCOMPARE(paperState().paper.back().XiaoTiHao, 6);
  }

  // A tree of fewer than three nodes has no start node: no paper, no message.
  // A bank that refuses the write of the tree position (as a full disk or a
  // read-only folder does), or whose write runs away (an endless query, met
  // by the statement budget), still shows the start paper; the learner is
  // told in Chinese what failed. The faults are TEMP triggers the test puts
  // on the program's connection when it opens.
  void startShowsPaperWhenPositionCannotBeStored_data() {
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("told");
    QTest::newRow("refused write") << QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON 系统参数 "
                                                     "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END;")
                                   << QStringLiteral("disk I/O error");
    QTest::newRow("runaway write")
        << QStringLiteral("CREATE TEMP TRIGGER spin BEFORE UPDATE ON 系统参数 BEGIN SELECT count(*) FROM "
                          "(WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM r) SELECT i FROM r); END;")
        << QStringLiteral("时间过长");
  }
  void startShowsPaperWhenPositionCannotBeStored() {
    QFETCH(QString, trigger);
    QFETCH(QString, told);
    FakeDialogs dialogs;
    TestEnv::ProgramDirFixture dir({kSmallBankTree});
    OpenedHook hook([&](TADOConnection &c) {
      c.setStatementBudget(1000);
      c.ExecuteScript(trigger);
    });
    TFrmMain win{ProgramDir(dir.root())};
    QVERIFY(!win.startupFailed());
    QVERIFY(win.paperState().onDisplay);
    QCOMPARE(win.paperState().title, QStringLiteral("第一节 有题"));
    QVERIFY(win.WebBrowser1->waitForLoad());
    QVERIFY(win.WebBrowser1->evaluate(QStringLiteral("document.body.innerText")).toString().contains(
        QStringLiteral("第一节 有题")));
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::Error);
    QVERIFY2(dialogs.shown[0].text.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]"))),
             qPrintable(dialogs.shown[0].text));
    QVERIFY2(dialogs.shown[0].text.contains(told), qPrintable(dialogs.shown[0].text));
  }

  // The start paper is built on a worker thread; what it meets reaches the
  // learner from the window as a command's would: the tree is shown and no
  // paper is set or written.
  void startPaperNotBuilt_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");
    QTest::newRow("start chapter without questions")
        << QStringLiteral("INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目甲',0,'0'),(10,'第一章',1,'1'),"
                          "(101,'第一节 无题',10,'2');")
        << int(Dialogs::Icon::Information) << QStringLiteral("没有试题！");
    QTest::newRow("page cannot be built") << kSmallBankTree + QStringLiteral("DROP TABLE 答案选项;")
                                          << int(Dialogs::Icon::Error) << QString();
  }
  void startPaperNotBuilt() {
    QFETCH(QString, sql);
    QFETCH(int, icon);
    QFETCH(QString, text);
    FakeDialogs dialogs;
    TestEnv::ProgramDirFixture dir({sql});
    QFile::remove(dir.path(QStringLiteral("css/Question.html")));
    TFrmMain win{ProgramDir(dir.root())};
    QVERIFY(!win.startupFailed());
    QVERIFY(win.TreeView1->nodeCount() >= 3);
    QCOMPARE(win.TreeView1->absoluteIndex(win.TreeView1->currentItem()), 2);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(int(dialogs.shown[0].icon), icon);
    if (!text.isEmpty())
      QCOMPARE(dialogs.shown[0].text, text);
    QVERIFY2(dialogs.shown[0].text.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]"))),
             qPrintable(dialogs.shown[0].text));
    QVERIFY(!win.paperState().onDisplay);
    QCOMPARE(win.paperState().kind, qint16(0));
    QVERIFY(win.paperState().paper.empty());
    QVERIFY(!QFile::exists(win.programDir().questionPagePath()));
  }

  // The program shows its window once the start paper's request is on its
  // way: the engine takes a load's first steps from the event loop, which
  // the window's first paint would hold up. A start without a paper shows
  // the window at once.
  void showsOnceThePaperIsRequested_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("paper");
    QTest::newRow("start paper") << kSmallBankTree << true;
    QTest::newRow("no start node")
        << QStringLiteral("INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目甲',0,'0'),(10,'第一章',1,'1');")
        << false;
  }
  void showsOnceThePaperIsRequested() {
    QFETCH(QString, sql);
    QFETCH(bool, paper);
    FakeDialogs dialogs;
    TestEnv::ProgramDirFixture dir({sql});
    TFrmMain win{ProgramDir(dir.root())};
    QVERIFY(!win.startupFailed());
    QCOMPARE(win.WebBrowser1->loadPending(), paper);
    bool requested = false;
    connect(win.WebBrowser1, &WebHtmlView::pageRequested, &win, [&requested] { requested = true; });
    win.showMaximizedOnceLoading();
    QCOMPARE(win.isVisible(), !paper);
    QTRY_VERIFY(win.isVisible());
    QCOMPARE(requested, paper); // shown by the request, not by the fallback
    QVERIFY(win.isMaximized());
    if (paper) {
      QVERIFY(win.WebBrowser1->waitForLoad());
      QVERIFY(pageText(win).contains(QStringLiteral("第一节 有题")));
    }
    win.hide();
  }

  void treeWithoutStartNode() {
    FakeDialogs dialogs;
    TestEnv::ProgramDirFixture dir(
        {QStringLiteral("INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目甲',0,'0'),(10,'第一章',1,'1');")});
    QFile::remove(dir.path(QStringLiteral("css/Question.html")));
    TFrmMain win{ProgramDir(dir.root())};
    QVERIFY(!win.startupFailed());
    QCOMPARE(win.TreeView1->nodeCount(), 2);
    QVERIFY(win.TreeView1->selectedItems().isEmpty());
    QVERIFY(!QFile::exists(win.programDir().questionPagePath()));
    QCOMPARE(win.paperState().kind, qint16(0));
    QVERIFY(dialogs.shown.isEmpty());
  }
};

QBRX_TEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
