#include "mainwin/Main.h"
#include "common/AppTitle.h"
#include "common/Dialogs.h"
#include "common/ErrorHandler.h"
#include "mainwin/About.h"
#include "mainwin/CategoryTreeView.h"
#include "mainwin/Grading.h"
#include "mainwin/PictureButton.h"
#include "mainwin/Pictures.h"
#include "mainwin/TitleBarLogic.h"
#include "mainwin/VendorInfo.h"
#include "mainwin/WindowRules.h"
#include "render/ExternalContainer.h"
#include "render/Global.h"
#include "render/PageBuilder.h"
#include "render/WebHtmlView.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QCloseEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWindow>

namespace {

const QString kMainMenu = QStringLiteral("主菜单");
const QString kHelpMenu = QStringLiteral("帮助菜单");
const QString kLinks = QStringLiteral("链接");
const QString kTreeCategory = QStringLiteral("题库目录");
const QString kPaperToolbar = QStringLiteral("试卷工具栏");

// Tooltip text with the shortcut, e.g. "章节练习 — 试题库 (Ctrl+1)".
QString tipWithShortcut(const QString &text, const QKeySequence &key) {
  if (key.isEmpty())
    return text;
  return text + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')');
}

// The light bar under the strip: the tree column's header and the paper
// toolbar's place.
void styleAsBar(QWidget *w) {
  w->setAttribute(Qt::WA_StyledBackground);
  w->setStyleSheet(QStringLiteral("#%1 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                                  "stop:0 #f6f9fd, stop:1 #e2eaf5); border-bottom: 1px solid #c3d1e4; }")
                       .arg(w->objectName()));
}

} // namespace

TFrmMain::TFrmMain(const ProgramDir &programDir, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_programDir(programDir) {
  setObjectName(QStringLiteral("FrmMain"));
  QFont formFont(QStringLiteral("宋体"));
  formFont.setPixelSize(14);
  setFont(formFont);
  setMinimumSize(WindowRules::kMinWidth, WindowRules::kMinHeight);
  resize(1024, 650);

  buildActions();
  buildUi();

  // The page bridge goes on the view before anything else; the window keeps
  // it for its whole life.
  m_container = std::make_unique<TExternalContainer>(WebBrowser1);
  PaperOnDisplay = false;

  if (!openDatabase()) {
    m_startupFailed = true;
    return;
  }
  ApplicationTitle = SoftTitle;
  setWindowTitle(SoftTitle);
  LabTitle->setText(SoftTitle);

  if (QScreen *s = screen())
    TaskbarHeight = WindowRules::taskbarHeight(s->geometry().height(), s->availableGeometry().height());

  buildSysIcons();
  buildMenuImages();
  buildHelpMenu();
  buildShortcuts();
  layoutTitleBar();

  RunCommand([this] { ActShiTiKuExecute(); });
}

TFrmMain::~TFrmMain() {
  m_container.reset();
  if (DataModule1 == m_dm.get())
    DataModule1 = nullptr;
}

bool TFrmMain::openDatabase() {
  return RunCommand([this] {
           m_dm = std::make_unique<TDataModule1>();
           DataModule1 = m_dm.get();
           QString detail;
           const StartupResult result = OpenBankAtStartup(*m_dm, m_programDir.root(), {}, &detail);
           if (result != StartupResult::Opened) {
             ShowStartupFailure(result, detail);
             m_startupFailed = true;
             return;
           }
           LoadSystemParameters(*m_dm);
         }) &&
         !m_startupFailed;
}

// ---------------------------------------------------------------------------
// Building the window

void TFrmMain::buildActions() {
  ActionManager1 = new TActionList(this);
  TActionList &al = *ActionManager1;
  ActShiTiKu = al.add(QStringLiteral("ActShiTiKu"), QStringLiteral("试题库"), kMainMenu);
  ActMLKC = al.add(QStringLiteral("ActMLKC"), QStringLiteral("模拟考场"), kMainMenu);
  ActErrorRedo = al.add(QStringLiteral("ActErrorRedo"), QStringLiteral("错题重做"), kMainMenu);
  ActShiTiJiQiao = al.add(QStringLiteral("ActShiTiJiQiao"), QStringLiteral("考试大纲"), kMainMenu);
  ActSCJST = al.add(QStringLiteral("ActSCJST"), QStringLiteral("收藏夹"), kMainMenu);
  ActTongJiFenXi = al.add(QStringLiteral("ActTongJiFenXi"), QStringLiteral("统计分析"), kMainMenu);
  ActSTCZ = al.add(QStringLiteral("ActSTCZ"), QStringLiteral("试题查找"), kMainMenu);
  ActYHSZ = al.add(QStringLiteral("ActYHSZ"), QStringLiteral("用户设置"), kMainMenu);

  ActShuJuBeiFen = al.add(QStringLiteral("ActShuJuBeiFen"), QStringLiteral("数据备份(&B)"), kHelpMenu);
  ActShuJuHuanYuan = al.add(QStringLiteral("ActShuJuHuanYuan"), QStringLiteral("数据还原(&R)"), kHelpMenu);
  ActAbout = al.add(QStringLiteral("ActAbout"), QStringLiteral("联系我们(&A)"), kHelpMenu);
  ActSite = al.add(QStringLiteral("ActSite"), QStringLiteral("官方网站(&S)"), kHelpMenu);

  ActWGZX = al.add(QStringLiteral("ActWGZX"), QStringLiteral("温故知新"), kHelpMenu);
  ActUpdate = al.add(QStringLiteral("ActUpdate"), QStringLiteral("在线升级(&U)"), kHelpMenu);
  ActHelp = al.add(QStringLiteral("ActHelp"), QStringLiteral("使用帮助(&H)"), kHelpMenu);
  ActCWFK = al.add(QStringLiteral("ActCWFK"), QStringLiteral("错误反馈"), kLinks);
  ActZZFW = al.add(QStringLiteral("ActZZFW"), QStringLiteral("增值服务"), kLinks);
  ActZWCX = al.add(QStringLiteral("ActZWCX"), QStringLiteral("职位查询"), kLinks);
  ActZKXX = al.add(QStringLiteral("ActZKXX"), QStringLiteral("招考信息"), kLinks);
  ActBMBZ = al.add(QStringLiteral("ActBMBZ"), QStringLiteral("报名帮助"), kLinks);
  ActSCSTKST = al.add(QStringLiteral("ActSCSTKST"), QStringLiteral("生成试题库试题"), kTreeCategory);

  ActReAnswer = al.add(QStringLiteral("ActReAnswer"), QStringLiteral("重新答题"), kPaperToolbar);
  ActShowAllAnswer = al.add(QStringLiteral("ActShowAllAnswer"), QStringLiteral("显示答案"), kPaperToolbar);
  ActSummitPaper = al.add(QStringLiteral("ActSummitPaper"), QStringLiteral("批阅试卷"), kPaperToolbar);
  ActUISet = al.add(QStringLiteral("ActUISet"), QStringLiteral("界面设置"), kPaperToolbar);
  ActPrint = al.add(QStringLiteral("ActPrint"), QStringLiteral("打印"), kPaperToolbar);
  ActZoomIn = al.add(QStringLiteral("ActZoomIn"), QStringLiteral("放大"), kPaperToolbar);
  ActZoomOut = al.add(QStringLiteral("ActZoomOut"), QStringLiteral("缩小"), kPaperToolbar);
  ActFullScreen = al.add(QStringLiteral("ActFullScreen"), QStringLiteral("全屏"), kPaperToolbar);

  // Commands whose dialogs are not part of the program yet.
  for (QAction *a : {ActMLKC, ActErrorRedo, ActSCJST, ActTongJiFenXi, ActSTCZ, ActYHSZ, ActShuJuBeiFen,
                     ActShuJuHuanYuan, ActWGZX, ActUpdate, ActUISet})
    a->setEnabled(false);

  // Keys. The main menu is Ctrl+1 … Ctrl+8 in button order.
  for (int i = 0; i < 8; ++i)
    menuAction(i)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)));
  ActSTCZ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_7), QKeySequence(Qt::CTRL | Qt::Key_F)});
  ActHelp->setShortcut(QKeySequence(Qt::Key_F1));
  ActFullScreen->setShortcut(QKeySequence(Qt::Key_F11));
  // The paper: submit, show answers, answer again, text size, print.
  ActSummitPaper->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
  ActShowAllAnswer->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  ActReAnswer->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  ActZoomIn->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
  ActZoomOut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
  ActPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  for (QAction *a : al.actions()) {
    a->setShortcutContext(Qt::WindowShortcut);
    a->setToolTip(tipWithShortcut(QString(a->text()).remove(QRegularExpression(QStringLiteral("\\(&.\\)"))),
                                  a->shortcut()));
  }
  addActions(al.actions());

  // A main-menu command run from the keyboard moves the selection like a
  // click on its button; a click has moved it already.
  for (int i = 0; i < 8; ++i)
    connect(menuAction(i), &QAction::triggered, this, [this, i] {
      if (menuState.SelectedMenuIndex != i)
        selectMainMenu(i);
    });

  runCommand(ActShiTiKu, &TFrmMain::ActShiTiKuExecute);
  runCommand(ActSCSTKST, &TFrmMain::ActSCSTKSTExecute);
  runCommand(ActShiTiJiQiao, &TFrmMain::ActShiTiJiQiaoExecute);
  runCommand(ActAbout, &TFrmMain::ActAboutExecute);
  runCommand(ActSite, &TFrmMain::ActSiteExecute);
  runCommand(ActHelp, &TFrmMain::ActHelpExecute);
  runCommand(ActCWFK, &TFrmMain::ActCWFKExecute);
  runCommand(ActZZFW, &TFrmMain::ActZZFWExecute);
  runCommand(ActZWCX, &TFrmMain::ActZWCXExecute);
  runCommand(ActZKXX, &TFrmMain::ActZKXXExecute);
  runCommand(ActBMBZ, &TFrmMain::ActBMBZExecute);
  runCommand(ActFullScreen, &TFrmMain::ActFullScreenExecute);
  runCommand(ActReAnswer, &TFrmMain::ActReAnswerExecute);
  runCommand(ActShowAllAnswer, &TFrmMain::ActShowAllAnswerExecute);
  runCommand(ActSummitPaper, &TFrmMain::ActSummitPaperExecute);
  runCommand(ActPrint, &TFrmMain::ActPrintExecute);
  runCommand(ActZoomIn, &TFrmMain::ActZoomInExecute);
  runCommand(ActZoomOut, &TFrmMain::ActZoomOutExecute);
}

void TFrmMain::runCommand(QAction *action, void (TFrmMain::*body)()) {
  connect(action, &QAction::triggered, this, [this, body] { RunCommand([this, body] { (this->*body)(); }); });
}

QAction *TFrmMain::menuAction(int i) const {
  const std::array<QAction *, 8> actions = {ActShiTiKu, ActMLKC, ActErrorRedo, ActShiTiJiQiao,
                                            ActSCJST,   ActTongJiFenXi, ActSTCZ, ActYHSZ};
  return (i >= 0 && i < 8) ? actions[std::size_t(i)] : nullptr;
}

PictureButton *TFrmMain::paperToolButton(int i) const {
  const std::array<PictureButton *, PaperToolbar::kButtonCount> buttons = {
      ImagePaperTools0, ImagePaperTools1, ImagePaperTools2, ImagePaperTools3,
      ImagePaperTools4, ImagePaperTools5, ImagePaperTools6, ImagePaperTools7};
  return (i >= 0 && i < PaperToolbar::kButtonCount) ? buttons[std::size_t(i)] : nullptr;
}

void TFrmMain::buildUi() {
  auto *outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  // The top strip: Panel1 > Panel2 (the frame colour) > Panel3 (pictures).
  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(100);
  auto *p1 = new QVBoxLayout(Panel1);
  p1->setContentsMargins(0, 0, 0, 0);
  auto *panel2 = new QWidget(Panel1);
  panel2->setObjectName(QStringLiteral("Panel2"));
  panel2->setAutoFillBackground(true);
  QPalette frame = panel2->palette();
  frame.setColor(QPalette::Window, Pictures::accentColor().darker(140));
  panel2->setPalette(frame);
  p1->addWidget(panel2);
  auto *p2 = new QVBoxLayout(panel2);
  p2->setContentsMargins(0, 0, 0, 0);
  Panel3 = new QWidget(panel2);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  p2->addWidget(Panel3);
  Image3 = new QLabel(Panel3);
  Image3->setObjectName(QStringLiteral("Image3"));
  Image3->setScaledContents(true);
  Image3->setPixmap(Pictures::stripBackground());
  LabTitle = new QLabel(Panel3);
  LabTitle->setObjectName(QStringLiteral("LabTitle"));
  LabTitle->move(13, 6);
  QFont titleFont(QStringLiteral("宋体"));
  titleFont.setPixelSize(14);
  LabTitle->setFont(titleFont);
  QPalette white = LabTitle->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  LabTitle->setPalette(white);
  LabTitle->installEventFilter(this);
  LabTitle->setToolTip(QStringLiteral("按住标题拖动窗口"));
  outer->addWidget(Panel1);

  // Below the strip: the tree column and the right side.
  Splitter2 = new QSplitter(Qt::Horizontal, this);
  Splitter2->setObjectName(QStringLiteral("Splitter2"));
  Splitter2->setHandleWidth(1);
  Splitter2->setChildrenCollapsible(false);
  Splitter2->setStyleSheet(QStringLiteral("QSplitter::handle { background: %1; }")
                               .arg(Pictures::accentColor().name()));
  outer->addWidget(Splitter2, 1);

  Panel6 = new QWidget(Splitter2);
  Panel6->setObjectName(QStringLiteral("Panel6"));
  Panel6->setMinimumWidth(WindowRules::kMinTreeWidth);
  auto *p6 = new QVBoxLayout(Panel6);
  p6->setContentsMargins(0, 0, 0, 0);
  p6->setSpacing(0);
  Panel8 = new QWidget(Panel6);
  Panel8->setObjectName(QStringLiteral("Panel8"));
  Panel8->setFixedHeight(29);
  styleAsBar(Panel8);
  auto *p8 = new QHBoxLayout(Panel8);
  p8->setContentsMargins(10, 0, 6, 0);
  LabelMulu = new QLabel(QStringLiteral("题库目录"), Panel8);
  LabelMulu->setObjectName(QStringLiteral("LabelMulu"));
  QFont muluFont(QStringLiteral("宋体"));
  muluFont.setPixelSize(13);
  muluFont.setBold(true);
  LabelMulu->setFont(muluFont);
  LabelMulu->setStyleSheet(QStringLiteral("color: navy;"));
  p8->addWidget(LabelMulu);
  p8->addStretch();
  p6->addWidget(Panel8);
  TreeView1 = new CategoryTreeView(Panel6);
  TreeView1->setObjectName(QStringLiteral("TreeView1"));
  TreeView1->setFrameShape(QFrame::NoFrame);
  TreeView1->setToolTip(QStringLiteral("方向键移动，Enter 或空格练习所选章节 (F6 在目录与试卷间切换)"));
  p6->addWidget(TreeView1, 1);
  connect(TreeView1, &CategoryTreeView::nodeChosen, ActSCSTKST, &QAction::trigger);

  auto *right = new QWidget(Splitter2);
  right->setObjectName(QStringLiteral("PanelRight"));
  auto *rl = new QVBoxLayout(right);
  rl->setContentsMargins(0, 0, 0, 0);
  rl->setSpacing(0);

  // The paper toolbar's place: a left group, a right group.
  PanelPaperToolBar = new QWidget(right);
  PanelPaperToolBar->setObjectName(QStringLiteral("PanelPaperToolBar"));
  PanelPaperToolBar->setFixedHeight(30);
  styleAsBar(PanelPaperToolBar);
  auto *tb = new QHBoxLayout(PanelPaperToolBar);
  tb->setContentsMargins(0, 0, 0, 0);
  tb->setSpacing(0);
  PanelPaperToolbar1 = new QWidget(PanelPaperToolBar);
  PanelPaperToolbar1->setObjectName(QStringLiteral("PanelPaperToolbar1"));
  PanelPaperToolbar1->setVisible(false);
  tb->addWidget(PanelPaperToolbar1);
  tb->addStretch(1);
  PanelPaperToolbar2 = new QWidget(PanelPaperToolBar);
  PanelPaperToolbar2->setObjectName(QStringLiteral("PanelPaperToolbar2"));
  tb->addWidget(PanelPaperToolbar2);
  buildPaperTools();
  rl->addWidget(PanelPaperToolBar);

  WebBrowser1 = new WebHtmlView(right);
  WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
  rl->addWidget(WebBrowser1, 1);

  Splitter2->addWidget(Panel6);
  Splitter2->addWidget(right);
  Splitter2->setStretchFactor(0, 0);
  Splitter2->setStretchFactor(1, 1);
  Splitter2->setSizes({265, 1024 - 265});
  connect(Splitter2, &QSplitter::splitterMoved, this, [this] { splitterMoved(); });
}

void TFrmMain::buildPaperTools() {
  // Each group is as wide as its last button reaches, plus the same margin
  // on the far side; the buttons sit one pixel under the bar's top.
  using namespace PaperToolbar;
  const int last = kButtonCount - 1;
  const int leftEnd = kLefts[kLeftGroupCount - 1] + PaperToolbar::width(kDesignTags[kLeftGroupCount - 1]);
  const int rightEnd = kLefts[last] + PaperToolbar::width(kDesignTags[last]);
  PanelPaperToolbar1->setFixedSize(leftEnd + 4, PanelPaperToolBar->height());
  PanelPaperToolbar2->setFixedSize(rightEnd + 6, PanelPaperToolBar->height());
  PictureButton **fields[kButtonCount] = {&ImagePaperTools0, &ImagePaperTools1, &ImagePaperTools2,
                                         &ImagePaperTools3, &ImagePaperTools4, &ImagePaperTools5,
                                         &ImagePaperTools6, &ImagePaperTools7};
  for (int i = 0; i < kButtonCount; ++i) {
    const int tag = kDesignTags[std::size_t(i)];
    auto *b = new PictureButton(i < kLeftGroupCount ? PanelPaperToolbar1 : PanelPaperToolbar2);
    b->setObjectName(QStringLiteral("ImagePaperTools%1").arg(i));
    b->setGeometry(kLefts[std::size_t(i)], 1, PaperToolbar::width(tag), kHeight);
    *fields[i] = b;
    showPaperToolPicture(i, paperTools.setTag(i, tag));
    connect(b, &PictureButton::mouseMoved, this, [this, i] { showPaperToolPicture(i, paperTools.mouseMove(i)); });
    connect(b, &PictureButton::mouseLeft, this, [this, i] { showPaperToolPicture(i, paperTools.mouseLeave(i)); });
    connect(b, &PictureButton::mousePressed, this, [this, i](Qt::MouseButton button) {
      if (button == Qt::LeftButton)
        showPaperToolPicture(i, paperTools.mouseDown(i));
    });
    connect(b, &PictureButton::mouseReleased, this, [this, i](Qt::MouseButton button) {
      if (button == Qt::LeftButton)
        paperToolReleased(i);
    });
  }
  // Tooltips and availability follow the commands (the show-answer and
  // full-screen captions change).
  for (int i = 0; i < kButtonCount; ++i) {
    for (QAction *a : {paperToolAction(kDesignTags[std::size_t(i)]),
                       paperToolAction(toggled(kDesignTags[std::size_t(i)]))}) {
      connect(a, &QAction::changed, this, [this, i] { updatePaperToolTip(i); });
    }
    updatePaperToolTip(i);
  }
  ImagePaperTools3->setVisible(false);
}

QAction *TFrmMain::paperToolAction(int tag) const {
  switch (PaperToolbar::command(tag)) {
  case PaperToolbar::Command::ReAnswer:
    return ActReAnswer;
  case PaperToolbar::Command::ShowAllAnswer:
    return ActShowAllAnswer;
  case PaperToolbar::Command::SummitPaper:
    return ActSummitPaper;
  case PaperToolbar::Command::UISet:
    return ActUISet;
  case PaperToolbar::Command::Print:
    return ActPrint;
  case PaperToolbar::Command::ZoomIn:
    return ActZoomIn;
  case PaperToolbar::Command::ZoomOut:
    return ActZoomOut;
  case PaperToolbar::Command::FullScreen:
    return ActFullScreen;
  case PaperToolbar::Command::None:
    break;
  }
  return nullptr;
}

void TFrmMain::showPaperToolPicture(int button, PaperToolbar::Picture picture) {
  PictureButton *b = paperToolButton(button);
  if (!b || picture.list == 0)
    return;
  b->Tag = paperTools.tag(button);
  const QString label = PaperToolbar::label(b->Tag);
  if (b->accessibleName() != label)
    b->setAccessibleName(label);
  const QString name = QStringLiteral("ImageList%1[%2]").arg(picture.list).arg(picture.index);
  if (b->property("picture").toString() != name) {
    b->setPixmap(Pictures::paperToolPicture(picture.list, picture.index));
    b->setProperty("picture", name);
  }
  b->repaint();
}

void TFrmMain::paperToolReleased(int button) {
  const PaperToolbar::Buttons::Release r = paperTools.mouseUp(button);
  showPaperToolPicture(button, r.picture);
  updatePaperToolTip(button);
  if (QAction *a = paperToolAction(paperTools.tag(button)))
    a->trigger();
}

void TFrmMain::updatePaperToolTip(int button) {
  PictureButton *b = paperToolButton(button);
  QAction *a = b ? paperToolAction(paperTools.tag(button)) : nullptr;
  if (!a)
    return;
  QString tip = a->toolTip();
  if (!a->isEnabled())
    tip += QStringLiteral("（暂未开放）");
  b->setToolTip(tip);
  // A command that is not available yet: the button is greyed and takes no
  // clicks.
  b->setEnabled(a->isEnabled());
}

void TFrmMain::buildSysIcons() {
  static const char *const tips[] = {"帮助菜单", "最小化", "还原", "关闭"};
  static const char *const firstPictures[] = {"SysHelp1", "SysMin1", "SysNom1", "SysClose1"};
  for (int i = 0; i < 4; ++i) {
    auto *b = new PictureButton(Panel3);
    b->setObjectName(QStringLiteral("SysIcon%1").arg(i));
    b->Tag = i;
    b->setFixedSize(TitleBar::kButtonWidths[std::size_t(i)], TitleBar::kButtonHeight);
    b->setPixmap(Pictures::sysBitmap(QLatin1String(firstPictures[i])));
    b->setProperty("picture", QLatin1String(firstPictures[i]));
    b->setToolTip(QString::fromUtf8(tips[i]));
    b->setAccessibleName(QString::fromUtf8(tips[i]));
    connect(b, &PictureButton::mouseMoved, this, [this, i] { sysIconEvent(i, TitleBar::Over); });
    connect(b, &PictureButton::mouseLeft, this, [this, i] { sysIconEvent(i, TitleBar::Leave); });
    connect(b, &PictureButton::mousePressed, this, [this, i](Qt::MouseButton button) {
      if (button == Qt::LeftButton)
        sysIconEvent(i, TitleBar::Down);
    });
    connect(b, &PictureButton::mouseReleased, this, [this, i](Qt::MouseButton button) {
      if (button == Qt::LeftButton)
        sysIconReleased(i);
    });
    SysIcons[std::size_t(i)] = b;
  }
  // The help button's context menu is the help menu.
  SysIcons[0]->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(SysIcons[0], &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { PopupMenuHelp->popup(SysIcons[0]->mapToGlobal(pos)); });
}

void TFrmMain::buildMenuImages() {
  menuState.MenuHoverShown = false;
  menuState.MenuPressed = false;
  const QStringList labels = Pictures::menuLabels();
  for (int i = 0; i < 8; ++i) {
    auto *b = new PictureButton(Panel3);
    b->setObjectName(QStringLiteral("MenuImage%1").arg(i));
    b->Tag = i;
    b->setGeometry(2 + 73 * i, 24, Pictures::kMenuSize.width(), Pictures::kMenuSize.height());
    b->setPixmap(Pictures::menuPicture(i, MainMenuState::Normal));
    b->setAccessibleName(labels.value(i));
    connect(b, &PictureButton::mouseMoved, this, [this, i] { applyMenuChanges(menuState.mouseMove(i)); });
    connect(b, &PictureButton::mouseLeft, this, [this, i] { applyMenuChanges(menuState.mouseLeave(i)); });
    connect(b, &PictureButton::mousePressed, this, [this, i](Qt::MouseButton button) {
      if (button == Qt::LeftButton && menuAction(i)->isEnabled())
        applyMenuChanges(menuState.mouseDown(i));
    });
    connect(b, &PictureButton::mouseReleased, this, [this, i](Qt::MouseButton button) {
      if (button == Qt::LeftButton)
        menuAction(i)->trigger();
    });
    MenuImages[std::size_t(i)] = b;
    connect(menuAction(i), &QAction::changed, this, [this, i] { updateMenuButtonTip(i); });
    updateMenuButtonTip(i);
  }
  // Button 0 starts selected.
  menuState.SelectedMenuIndex = 0;
  applyMenuChanges({{0, MainMenuState::Selected}});
}

void TFrmMain::updateMenuButtonTip(int i) {
  PictureButton *b = MenuImages[std::size_t(i)];
  QAction *a = menuAction(i);
  if (!b || !a)
    return;
  QString tip = Pictures::menuLabels().value(i);
  if (a->text() != tip)
    tip += QStringLiteral(" — ") + a->text();
  tip = tipWithShortcut(tip, a->shortcut());
  if (!a->isEnabled())
    tip += QStringLiteral("（暂未开放）");
  b->setToolTip(tip);
  b->setCursor(a->isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TFrmMain::buildHelpMenu() {
  PopupMenuHelp = new QMenu(this);
  PopupMenuHelp->setObjectName(QStringLiteral("PopupMenuHelp"));
  PopupMenuHelp->addActions({ActShuJuBeiFen, ActShuJuHuanYuan, ActAbout, ActSite});
  // The commands that have no button of their own.
  PopupMenuHelp->addSeparator();
  PopupMenuHelp->addActions({ActHelp, ActUpdate, ActWGZX, ActCWFK});
  PopupMenuHelp->addSeparator();
  PopupMenuHelp->addActions({ActZKXX, ActBMBZ, ActZWCX, ActZZFW});
  PopupMenuHelp->addSeparator();
  PopupMenuHelp->addAction(ActFullScreen);
}

void TFrmMain::buildShortcuts() {
  // F10 opens the help menu under its button.
  auto *help = new QShortcut(QKeySequence(Qt::Key_F10), this);
  connect(help, &QShortcut::activated, this, [this] {
    PictureButton *b = SysIcons[0];
    PopupMenuHelp->popup(b->isVisible() ? b->mapToGlobal(QPoint(0, b->height() + 2)) : mapToGlobal(QPoint(0, 0)));
  });
  SysIcons[0]->setToolTip(tipWithShortcut(QStringLiteral("帮助菜单"), QKeySequence(Qt::Key_F10)));
  // F6 moves the focus between the tree and the page.
  auto *focus = new QShortcut(QKeySequence(Qt::Key_F6), this);
  connect(focus, &QShortcut::activated, this, [this] { switchFocus(); });
  // Escape leaves full-screen mode.
  auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [this] {
    if (fullScreenMode())
      ActFullScreen->trigger();
  });
}

void TFrmMain::switchFocus() {
  if (TreeView1->hasFocus() || !TreeView1->isVisible()) {
    if (QWebEngineView *v = WebBrowser1->engineView())
      v->setFocus(Qt::ShortcutFocusReason);
  } else {
    TreeView1->setFocus(Qt::ShortcutFocusReason);
  }
}

// ---------------------------------------------------------------------------
// Picture buttons

void TFrmMain::applyMenuChanges(const MainMenuState::Changes &changes) {
  for (const MainMenuState::Change &c : changes) {
    PictureButton *b = (c.index >= 0 && c.index < 8) ? MenuImages[std::size_t(c.index)] : nullptr;
    if (!b)
      continue;
    b->setPixmap(Pictures::menuPicture(c.index, c.picture));
    b->setProperty("picture", int(c.picture));
    b->repaint();
  }
}

void TFrmMain::selectMainMenu(int i) { applyMenuChanges(menuState.select(i)); }

void TFrmMain::sysIconEvent(int index, int state) {
  PictureButton *b = SysIcons[std::size_t(index)];
  const QString name = TitleBar::pictureName(b->Tag, TitleBar::State(state));
  if (b->property("picture").toString() == name)
    return;
  b->setPixmap(Pictures::sysBitmap(name));
  b->setProperty("picture", name);
  b->repaint();
}

void TFrmMain::sysIconReleased(int index) {
  PictureButton *b = SysIcons[std::size_t(index)];
  const TitleBar::Release r = TitleBar::release(b->Tag);
  b->Tag = r.newTag;
  switch (r.command) {
  case TitleBar::Command::PopupHelp:
    PopupMenuHelp->popup(b->mapToGlobal(QPoint(0, b->height() + 2)));
    break;
  case TitleBar::Command::Minimize:
    showMinimized();
    break;
  case TitleBar::Command::Restore:
    showNormal();
    break;
  case TitleBar::Command::Close:
    close();
    break;
  case TitleBar::Command::Maximize:
    showMaximized();
    break;
  case TitleBar::Command::None:
    break;
  }
}

void TFrmMain::syncMaximizeButton() {
  // The third button follows the window's state however it changed (its own
  // click, the window system's keys).
  if (PictureButton *b = SysIcons[2]) {
    b->Tag = TitleBar::maximizeButtonTag(isMaximized());
    b->setToolTip(isMaximized() ? QStringLiteral("还原") : QStringLiteral("最大化"));
  }
}

// ---------------------------------------------------------------------------
// Window events

void TFrmMain::layoutTitleBar() {
  if (Panel3)
    Image3->setGeometry(1, 1, std::max(0, Panel3->width() - 2), std::max(0, Panel3->height() - 1));
  const int w = width();
  LabTitle->setGeometry(13, 6, std::max(0, w - TitleBar::kRightReserve), 18);
  const std::array<int, 4> lefts = TitleBar::buttonLefts(w);
  for (std::size_t i = 0; i < SysIcons.size(); ++i)
    if (SysIcons[i])
      SysIcons[i]->setGeometry(lefts[i], TitleBar::kButtonTop, TitleBar::kButtonWidths[i], TitleBar::kButtonHeight);
}

void TFrmMain::resizeEvent(QResizeEvent *e) {
  QWidget::resizeEvent(e);
  if (!isMaximized() && !isFullScreen()) {
    const int screenHeight = screen() ? screen()->geometry().height() : 0;
    const QSize wanted = WindowRules::constrainedSize(size(), screenHeight, TaskbarHeight);
    if (wanted != size()) {
      resize(wanted);
      return;
    }
  }
  // The strip's children are placed by hand: make sure Panel3 has its size.
  if (Panel1 && Panel1->layout())
    Panel1->layout()->activate();
  layoutTitleBar();
}

void TFrmMain::changeEvent(QEvent *e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::WindowStateChange)
    syncMaximizeButton();
}

void TFrmMain::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  syncMaximizeButton();
  layoutTitleBar();
}

void TFrmMain::splitterMoved() {
  const int screenWidth = screen() ? screen()->geometry().width() : width();
  const int current = Panel6->width();
  const int wanted = WindowRules::clampedTreeWidth(current, screenWidth);
  if (wanted != current) {
    const QList<int> sizes = Splitter2->sizes();
    int total = 0;
    for (int s : sizes)
      total += s;
    Splitter2->setSizes({wanted, std::max(0, total - wanted)});
  }
}

bool TFrmMain::eventFilter(QObject *watched, QEvent *e) {
  if (watched == LabTitle) {
    switch (e->type()) {
    case QEvent::MouseButtonPress: {
      auto *me = static_cast<QMouseEvent *>(e);
      if (me->button() != Qt::LeftButton || isMaximized())
        break;
      // The window system moves the window when it can; otherwise the
      // window follows the mouse here.
      if (windowHandle() && windowHandle()->startSystemMove())
        return true;
      m_dragging = true;
      m_dragOffset = me->globalPosition().toPoint() - frameGeometry().topLeft();
      return true;
    }
    case QEvent::MouseMove:
      if (m_dragging) {
        auto *me = static_cast<QMouseEvent *>(e);
        if (isMaximized())
          m_dragging = false;
        else
          move(me->globalPosition().toPoint() - m_dragOffset);
        return true;
      }
      break;
    case QEvent::MouseButtonRelease:
      if (m_dragging) {
        m_dragging = false;
        return true;
      }
      break;
    default:
      break;
    }
  }
  return QWidget::eventFilter(watched, e);
}

void TFrmMain::closeEvent(QCloseEvent *e) {
  if (!dialogs().question(QStringLiteral("是否要退出系统？(Y/N)"), QStringLiteral("询问"))) {
    e->ignore();
    return;
  }
  QFile::remove(m_programDir.questionPagePath());
  e->accept();
}

// ---------------------------------------------------------------------------
// Commands

void TFrmMain::showGeneratedPaper() {
  PanelPaperToolbar1->setVisible(true);
  ImagePaperTools3->setVisible(true);
  WebBrowser1->navigate(m_programDir.questionPagePath());
  InitShowAnswer();
}

void TFrmMain::InitShowAnswer() {
  TActionList::setTag(ActShowAllAnswer, 0);
  ActShowAllAnswer->setText(PaperToolbar::showAnswerCaption(0));
  ActShowAllAnswer->setToolTip(tipWithShortcut(ActShowAllAnswer->text(), ActShowAllAnswer->shortcut()));
  showPaperToolPicture(PaperToolbar::Buttons::ShowAnswerButton, paperTools.initShowAnswer());
}

bool TFrmMain::paperOnDisplay() {
  if (PaperOnDisplay)
    return true;
  dialogs().information(GradingText::NoPaper, GradingText::NoPaperCaption);
  return false;
}

void TFrmMain::ActReAnswerExecute() {
  if (!paperOnDisplay())
    return;
  if (!dialogs().question(QStringLiteral("重新答题会清空当前的回答,继续吗?"), QStringLiteral("重新答题")))
    return;
  WebBrowser1->runScript(QStringLiteral("answerAgain()"));
  // The page has hidden every answer: the show-answer button says so too.
  InitShowAnswer();
}

void TFrmMain::ActShowAllAnswerExecute() {
  if (!paperOnDisplay())
    return;
  const int tag = PaperToolbar::nextShowAnswerTag(TActionList::Tag(ActShowAllAnswer));
  // The state changes once the page has done it; when the script fails
  // (a page without the paper's functions) the button goes back to the
  // command's state.
  try {
    WebBrowser1->runScript(PaperToolbar::showAllAnswerScript(tag));
  } catch (...) {
    showPaperToolPicture(PaperToolbar::Buttons::ShowAnswerButton,
                         paperTools.setTag(PaperToolbar::Buttons::ShowAnswerButton,
                                           PaperToolbar::showAnswerButtonTag(TActionList::Tag(ActShowAllAnswer))));
    throw;
  }
  TActionList::setTag(ActShowAllAnswer, tag);
  ActShowAllAnswer->setText(PaperToolbar::showAnswerCaption(tag));
  ActShowAllAnswer->setToolTip(tipWithShortcut(ActShowAllAnswer->text(), ActShowAllAnswer->shortcut()));
  // From the keyboard the button has not flipped yet.
  showPaperToolPicture(PaperToolbar::Buttons::ShowAnswerButton,
                       paperTools.setTag(PaperToolbar::Buttons::ShowAnswerButton, PaperToolbar::showAnswerButtonTag(tag)));
}

void TFrmMain::ActSummitPaperExecute() { ::ActSummitPaper(*WebBrowser1, *m_dm, this); }

void TFrmMain::ActPrintExecute() { WebBrowser1->printPreview(); }

void TFrmMain::ActZoomInExecute() { WebBrowser1->runScript(QStringLiteral("changeFont(1)")); }

void TFrmMain::ActZoomOutExecute() { WebBrowser1->runScript(QStringLiteral("changeFont(0)")); }

void TFrmMain::ActShiTiKuExecute() {
  LabelMulu->setText(QStringLiteral("题库目录"));
  PanelPaperToolbar1->setVisible(true);
  ImagePaperTools3->setVisible(true);
  // The tree column comes back after a link page hid it.
  if (!fullScreenMode())
    Panel6->setVisible(true);

  TreeView1->clearNodes();
  m_tree.TreeViewLoadFromDB(*m_dm);
  TreeView1->fill(m_tree);
  const int start = m_tree.startNode(TreeViewIndex);
  if (start >= 0)
    TreeView1->selectNode(start);

  WebBrowser1->navigate(QStringLiteral("about:blank"));
  ActSCSTKSTExecute();
}

void TFrmMain::ActSCSTKSTExecute() {
  selectMainMenu(0);
  QTreeWidgetItem *item = TreeView1->currentItem();
  if (!item || !item->isSelected() || TreeView1->level(item) <= 1)
    return;
  const TTreeNodeInfo *node = TreeView1->info(item);
  if (!node)
    return;

  CurrentPaper = ChapterQuestions(*m_dm, node->ID);
  if (CurrentPaper.empty()) {
    dialogs().information(QStringLiteral("没有试题！"), QStringLiteral("提示"));
    return;
  }
  TreeViewIndex = TreeView1->absoluteIndex(item);
  StoreTreeViewIndex(*m_dm, TreeViewIndex);
  PaperKind = PaperKinds::Chapter;
  ChapterId = node->ID;
  BuildQuestionPage(item->text(0), 0, *m_dm, m_programDir);
  showGeneratedPaper();
}

void TFrmMain::openInShell(const QString &target) {
  if (target.trimmed().isEmpty())
    return;
  if (!dialogs().openUrl(target))
    dialogs().information(QStringLiteral("无法打开：") + target, QStringLiteral("提示"));
}

QString TFrmMain::parameterValue(const QString &key) {
  TADOQuery &q = m_dm->ADOQuery2;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名=") + QuotedStr(key));
  q.Open();
  const QString value = q.IsEmpty() ? QString() : q.FieldByName(QStringLiteral("参数值")).AsString();
  q.Close();
  return value;
}

void TFrmMain::ActShiTiJiQiaoExecute() { openInShell(FeedbackUrl); }

void TFrmMain::ActAboutExecute() {
  TFrmAbout dlg;
  dialogs().execModal(dlg);
}

void TFrmMain::ActSiteExecute() { openInShell(VendorInfo::SiteUrl); }

void TFrmMain::ActHelpExecute() { openInShell(m_programDir.resolve(QStringLiteral("css/help/help.html"))); }

void TFrmMain::ActCWFKExecute() { openInShell(VendorInfo::FeedbackPageUrl); }

void TFrmMain::ActZZFWExecute() { openInShell(ValueAddedUrl); }

void TFrmMain::ActZWCXExecute() { openInShell(parameterValue(QStringLiteral("职位查询"))); }

void TFrmMain::ActZKXXExecute() {
  Panel6->setVisible(false);
  const QString address = parameterValue(QStringLiteral("招考信息"));
  if (!address.trimmed().isEmpty())
    WebBrowser1->navigate(address);
}

void TFrmMain::ActBMBZExecute() {
  if (!fullScreenMode())
    Panel6->setVisible(true);
  WebBrowser1->navigate(m_programDir.resolve(QStringLiteral("css/BaoKao/baokao.html")));
}

bool TFrmMain::fullScreenMode() const { return TActionList::Tag(ActFullScreen) == 1; }

void TFrmMain::ActFullScreenExecute() {
  if (!fullScreenMode()) {
    TActionList::setTag(ActFullScreen, 1);
    ActFullScreen->setText(QStringLiteral("窗口"));
    Panel1->setVisible(false);
    Panel6->setVisible(false);
  } else {
    TActionList::setTag(ActFullScreen, 0);
    ActFullScreen->setText(QStringLiteral("全屏"));
    Panel1->setVisible(true);
    Panel6->setVisible(true);
  }
  ActFullScreen->setToolTip(tipWithShortcut(ActFullScreen->text(), ActFullScreen->shortcut()));
  // The full-screen button shows the mode however it changed (its own
  // release, F11, Escape, the help menu).
  showPaperToolPicture(PaperToolbar::Buttons::FullScreenButton,
                       paperTools.setTag(PaperToolbar::Buttons::FullScreenButton,
                                         PaperToolbar::fullScreenButtonTag(fullScreenMode())));
}

void TFrmMain::AfterBankUpdate() {
  TreeViewIndex = 0;
  LoadSystemParameters(*m_dm);
  ApplicationTitle = SoftTitle;
  setWindowTitle(SoftTitle);
  LabTitle->setText(SoftTitle);
  ActShiTiKuExecute();
  ActSCSTKSTExecute();
}
