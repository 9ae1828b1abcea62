#include "mainwin/ui/Main.h"
#include "collections/ui/CollectionsCommands.h"
#include "common/AppTitle.h"
#include "common/Dialogs.h"
#include "common/ErrorHandler.h"
#include "exam/Grading.h"
#include "exam/ui/ExamCommands.h"
#include "feedback/ui/FeedbackCommands.h"
#include "maintenance/ui/MaintenanceCommands.h"
#include "mainwin/BankTrouble.h"
#include "mainwin/StartPaper.h"
#include "mainwin/WindowRules.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "mainwin/ui/MainCommands.h"
#include "mainwin/ui/PaperToolbarBar.h"
#include "mainwin/ui/Pictures.h"
#include "mainwin/ui/TitleStrip.h"
#include "mainwin/ui/TreeColumn.h"
#include "app/ActionList.h"
#include "render/MyExternal.h"
#include "render/PageHighlight.h"
#include "render/ui/ExternalContainer.h"
#include "render/ui/WebHtmlView.h"
#include "review/ui/ReviewCommands.h"
#include "settings/ui/SettingsCommands.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

const std::array<const char *, 8> TFrmMain::kMenuCommands = {
    "ActShiTiKu", "ActMLKC", "ActErrorRedo", "ActShiTiJiQiao", "ActSCJST", "ActTongJiFenXi", "ActSTCZ", "ActYHSZ"};

TFrmMain::TFrmMain(const ProgramDir &programDir, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_programDir(programDir),
      m_dm(std::make_unique<TDataModule1>()) {
  setObjectName(QStringLiteral("FrmMain"));
  QFont formFont(QStringLiteral("宋体"));
  formFont.setPixelSize(14);
  setFont(formFont);
  setMinimumSize(WindowRules::kMinWidth, WindowRules::kMinHeight);
  resize(1024, 650);
  m_context = std::make_unique<AppContext>(AppContext{
      *m_dm, m_programDir, &WebHtmlView::create, *this, m_events, this});

  PaperOnDisplay = false;
  if (!openDatabase()) {
    m_startupFailed = true;
    return;
  }
  // The chapter tree and the start paper are read and rendered on a worker
  // thread meanwhile: the web view and the widgets need no data. Until the
  // result is taken the connection is the worker's alone.
  BankPreparation bank(*m_dm, TreeViewIndex);

  registerCommands();
  // The view first: making it starts the web engine, the longest step of the
  // start, while the worker builds the paper and the application's font
  // warm-up reads the font list (QbrxApplication::useProgramFont); the
  // page's process then starts while the widgets are made.
  WebBrowser1 = new WebHtmlView(this);
  WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
  WebBrowser1->startPageProcess();
  buildUi();
  m_context->paperToolbarSlot = PanelPaperToolBar->FeatureSlot;

  // The page bridge goes on the view before any page is loaded; the window
  // keeps it for its whole life. It serves the program's own pages only.
  m_container = std::make_unique<TExternalContainer>(WebBrowser1, m_programDir.root());
  connectEvents();

  applyTitle();
  if (QScreen *s = screen())
    TaskbarHeight = WindowRules::taskbarHeight(s->geometry().height(), s->availableGeometry().height());
  buildHelpMenu();
  buildShortcuts();
  Panel1->layoutTitleBar();

  RunCommand([this, &bank] { showPreparedBank(bank.take()); });
  BankPreparation::releaseFreedMemory();
}

// The window's part in the program's events: the bridge's calls go out as
// events, and the window answers the events that concern it.
void TFrmMain::connectEvents() {
  TMyExternal *bridge = m_container->GetExternal();
  connect(bridge, &TMyExternal::favouriteRequested, &m_events, &AppEvents::favouriteRequested);
  connect(bridge, &TMyExternal::errorReportRequested, &m_events, &AppEvents::errorReportRequested);
  connect(&m_events, &AppEvents::settingsChanged, this, [this] { RunCommand([this] { reloadPaper(); }); });
  connect(&m_events, &AppEvents::bankReplaced, this, [this] { RunCommand([this] { AfterBankUpdate(); }); });
  connect(WebBrowser1->page(), &QWebEnginePage::loadFinished, this, [this](bool ok) {
    if (ok)
      markFoundText();
  });
}

TFrmMain::~TFrmMain() {
  m_container.reset();
}

bool TFrmMain::openDatabase() {
  return RunCommand([this] {
           QString detail, notice;
           const StartupResult result = OpenBankAtStartup(*m_dm, m_programDir.root(), {}, &detail, &notice);
           if (!notice.isEmpty())
             dialogs().warning(notice, QStringLiteral("数据还原"));
           if (result != StartupResult::Opened) {
             if (IsBankTrouble(result))
               dialogs().error(BankTroubleMessage(result, m_programDir, detail), QStringLiteral("错误"));
             else
               ShowStartupFailure(result, detail);
             m_startupFailed = true;
             return;
           }
           LoadSystemParameters(*m_dm);
         }) &&
         !m_startupFailed;
}

void TFrmMain::applyTitle() {
  ApplicationTitle = SoftTitle;
  setWindowTitle(SoftTitle);
  Panel1->setTitle(SoftTitle);
}

// Every feature registers its commands from its own folder.
void TFrmMain::registerCommands() {
  ActionManager1 = new TActionList(this);
  TActionList &commands = *ActionManager1;
  registerMainCommands(commands, *this);
  registerExamCommands(commands, *m_context);
  registerReviewCommands(commands, *m_context);
  registerCollectionsCommands(commands, *m_context);
  registerSettingsCommands(commands, *m_context);
  registerMaintenanceCommands(commands, *m_context);
  registerFeedbackCommands(commands, *m_context);

  // The main menu is Ctrl+1 … Ctrl+8 in button order (before any key of the
  // command's own).
  for (int i = 0; i < 8; ++i) {
    QAction *a = menuAction(i);
    a->setShortcuts(QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i))} + a->shortcuts());
  }
  addActions(commands.actions());
}

QAction *TFrmMain::command(const QString &name) const { return ActionManager1->action(name); }

QAction *TFrmMain::menuAction(int i) const {
  return (i >= 0 && i < 8) ? command(QLatin1String(kMenuCommands[std::size_t(i)])) : nullptr;
}

void TFrmMain::buildUi() {
  auto *outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  std::array<QAction *, 8> menu{};
  for (int i = 0; i < 8; ++i)
    menu[std::size_t(i)] = menuAction(i);
  Panel1 = new TitleStrip(menu, this);
  outer->addWidget(Panel1);

  // Below the strip: the tree column and the right side.
  Splitter2 = new QSplitter(Qt::Horizontal, this);
  Splitter2->setObjectName(QStringLiteral("Splitter2"));
  Splitter2->setHandleWidth(1);
  Splitter2->setChildrenCollapsible(false);
  Splitter2->setStyleSheet(QStringLiteral("QSplitter::handle { background: %1; }")
                               .arg(Pictures::accentColor().name()));
  outer->addWidget(Splitter2, 1);

  auto *column = new TreeColumn(Splitter2);
  Panel6 = column;
  Panel8 = column->header;
  LabelMulu = column->label;
  TreeView1 = column->tree;
  connect(TreeView1, &CategoryTreeView::nodeChosen, command(QStringLiteral("ActSCSTKST")), &QAction::trigger);

  auto *right = new QWidget(Splitter2);
  right->setObjectName(QStringLiteral("PanelRight"));
  auto *rl = new QVBoxLayout(right);
  rl->setContentsMargins(0, 0, 0, 0);
  rl->setSpacing(0);
  PanelPaperToolBar = new PaperToolbarBar(*ActionManager1, right);
  TreeColumn::styleAsBar(PanelPaperToolBar);
  rl->addWidget(PanelPaperToolBar);
  rl->addWidget(WebBrowser1, 1);

  Splitter2->addWidget(Panel6);
  Splitter2->addWidget(right);
  Splitter2->setStretchFactor(0, 0);
  Splitter2->setStretchFactor(1, 1);
  Splitter2->setSizes({265, 1024 - 265});
  connect(Splitter2, &QSplitter::splitterMoved, this, [this] { splitterMoved(); });
}

void TFrmMain::buildHelpMenu() {
  PopupMenuHelp = makeHelpMenu(*ActionManager1, this);
  Panel1->setHelpMenu(PopupMenuHelp);
}

void TFrmMain::buildShortcuts() {
  // F10 opens the help menu under its button.
  auto *help = new QShortcut(QKeySequence(Qt::Key_F10), this);
  connect(help, &QShortcut::activated, Panel1, &TitleStrip::popupHelpMenu);
  // F6 moves the focus between the tree and the page.
  auto *focus = new QShortcut(QKeySequence(Qt::Key_F6), this);
  connect(focus, &QShortcut::activated, this, [this] { switchFocus(); });
  // Escape leaves full-screen mode.
  auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [this] {
    if (fullScreenMode())
      command(QStringLiteral("ActFullScreen"))->trigger();
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

void TFrmMain::selectMainMenu(int i) { Panel1->selectMainMenu(i); }

bool TFrmMain::fullScreenMode() const { return TActionList::Tag(command(QStringLiteral("ActFullScreen"))) == 1; }

bool TFrmMain::paperOnDisplay() {
  if (PaperOnDisplay)
    return true;
  dialogs().information(GradingText::NoPaper, GradingText::NoPaperCaption);
  return false;
}

// ---------------------------------------------------------------------------
// Papers

bool TFrmMain::showPaper(const PaperRequest &request) {
  if (request.paper.empty()) {
    dialogs().information(PaperText::NoQuestions, PaperText::NoQuestionsCaption);
    return false;
  }
  BuildRequestedPaper(request, *m_dm, m_programDir);
  showGeneratedPaper();
  return true;
}

void TFrmMain::reloadPaper() {
  if (!PaperOnDisplay || CurrentPaper.empty())
    return;
  BuildRequestedPaper(PaperRequest::keepingKind(CurrentPaper), *m_dm, m_programDir);
  // A view on another page (a link) shows the new paper when it comes back.
  if (!QUrl::fromLocalFile(m_programDir.questionPagePath()).matches(WebBrowser1->url(), QUrl::RemoveQuery))
    return;
  // The engine brings a reloaded page back near its place, not to the
  // pixel: the place is put back once the page is there.
  const QVariantList at = WebBrowser1->evaluate(QStringLiteral("[window.scrollX, window.scrollY]")).toList();
  WebBrowser1->reload();
  if (at.size() == 2)
    WebBrowser1->runScript(QStringLiteral("window.scrollTo(%1, %2)").arg(at[0].toInt()).arg(at[1].toInt()));
}

void TFrmMain::showMaximizedOnceLoading() {
  if (!WebBrowser1->loadPending()) {
    showMaximized();
    return;
  }
  auto shown = std::make_shared<bool>(false);
  const auto show = [this, shown] {
    if (!std::exchange(*shown, true))
      showMaximized();
  };
  connect(WebBrowser1, &WebHtmlView::pageRequested, this, show, Qt::SingleShotConnection);
  QTimer::singleShot(kShowAtLatestMs, this, show);
}

void TFrmMain::showPreparedBank(PreparedBank &&bank) {
  LabelMulu->setText(QStringLiteral("题库目录"));
  PanelPaperToolBar->showPaperGroup();
  // The tree column comes back after a link page hid it.
  if (!fullScreenMode())
    Panel6->setVisible(true);
  // The tree's items point into the chapter tree: they go before it does.
  TreeView1->clearNodes();
  m_tree = std::move(bank.tree);
  TreeView1->fill(*m_tree);
  if (bank.startNode >= 0)
    TreeView1->selectNode(bank.startNode);
  selectMainMenu(0);
  if (bank.error)
    std::rethrow_exception(bank.error);
  if (bank.noQuestions)
    dialogs().information(PaperText::NoQuestions, PaperText::NoQuestionsCaption);
  if (!bank.request || !bank.page)
    return;
  ApplyRequestedPaper(*bank.request, std::move(*bank.page), m_programDir);
  showGeneratedPaper();
  storeTreePosition(bank.startNode);
}

void TFrmMain::storeTreePosition(int index) {
  TreeViewIndex = index;
  StoreTreeViewIndex(*m_dm, TreeViewIndex);
}

void TFrmMain::showGeneratedPaper() {
  PanelPaperToolBar->showPaperGroup();
  WebBrowser1->navigate(m_programDir.questionPagePath());
  PanelPaperToolBar->InitShowAnswer();
  emit m_events.paperShown();
}

void TFrmMain::markFoundText() {
  if (PaperHighlight.isEmpty() ||
      !QUrl::fromLocalFile(m_programDir.questionPagePath()).matches(WebBrowser1->url(), QUrl::RemoveQuery))
    return;
  const QString script = HighlightScript(PaperHighlight);
  if (!script.isEmpty())
    WebBrowser1->page()->runJavaScript(script);
}

// The feedback form shows the question on a page of its own: the paper on
// display, its kind and title stay as they were.

void TFrmMain::AfterBankUpdate() {
  TreeViewIndex = 0;
  applyTitle();
  command(QStringLiteral("ActShiTiKu"))->trigger();
}

// ---------------------------------------------------------------------------
// Window events

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
  Panel1->layoutTitleBar();
}

void TFrmMain::changeEvent(QEvent *e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::WindowStateChange && Panel1)
    Panel1->syncMaximizeButton();
}

void TFrmMain::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  Panel1->syncMaximizeButton();
  Panel1->layoutTitleBar();
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

void TFrmMain::closeEvent(QCloseEvent *e) {
  if (!dialogs().question(QStringLiteral("是否要退出系统？(Y/N)"), QStringLiteral("询问"))) {
    e->ignore();
    return;
  }
  QFile::remove(m_programDir.questionPagePath());
  QFile::remove(m_programDir.feedbackPagePath());
  e->accept();
}
