#include "mainwin/ui/Main.h"
#include "app/ActionList.h"
#include "common/AppTitle.h"
#include "common/Dialogs.h"
#include "common/ErrorHandler.h"
#include "exam/Grading.h"
#include "mainwin/BankTrouble.h"
#include "mainwin/StartPaper.h"
#include "mainwin/WindowRules.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "mainwin/ui/FeatureCommands.h"
#include "mainwin/ui/MainCommands.h"
#include "mainwin/ui/PaperToolbarBar.h"
#include "mainwin/ui/TitleStrip.h"
#include "mainwin/ui/TreeColumn.h"
#include "render/MyExternal.h"
#include "render/PageHighlight.h"
#include "render/ui/ExternalContainer.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/SystemParameters.h"

#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

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
      *m_dm, m_programDir, &WebHtmlView::create, *this, m_paper, m_events, this});

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
  PopupMenuHelp = makeHelpMenu(*ActionManager1, this);
  Panel1->setHelpMenu(PopupMenuHelp);
  installWindowKeys(*this);
  installLinkPages(*this);
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
  // The found text of a search paper is marked each time its page loads.
  WebBrowser1->setScriptAfterLoad(QUrl::fromLocalFile(m_programDir.questionPagePath()), [this] {
    return m_paper.highlight.isEmpty() ? QString() : HighlightScript(m_paper.highlight);
  });
}

TFrmMain::~TFrmMain() {
  m_container.reset();
}

bool TFrmMain::openDatabase() {
  bool opened = false;
  return RunCommand([this, &opened] { opened = OpenBankForWindow(*m_dm, m_programDir); }) && opened;
}

void TFrmMain::applyTitle() {
  ApplicationTitle = SoftTitle;
  setWindowTitle(SoftTitle);
  Panel1->setTitle(SoftTitle);
}

// The window's own commands, then every feature's from its own folder.
void TFrmMain::registerCommands() {
  ActionManager1 = new TActionList(this);
  registerMainCommands(*ActionManager1, *this);
  registerFeatureCommands(*ActionManager1, *m_context);
  addActions(ActionManager1->actions());
}

QAction *TFrmMain::command(const QString &name) const { return ActionManager1->action(name); }

QAction *TFrmMain::menuAction(int i) const { return ActionManager1->inMenuSlot(i); }

void TFrmMain::buildUi() {
  auto *outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  Panel1 = new TitleStrip(*ActionManager1, this);
  outer->addWidget(Panel1);

  // Below the strip: the tree column and the right side.
  Splitter2 = TreeColumn::makeSplitter(this);
  outer->addWidget(Splitter2, 1);

  auto *column = new TreeColumn(Splitter2);
  Panel6 = column;
  Panel8 = column->header;
  LabelMulu = column->label;
  TreeView1 = column->tree;
  if (QAction *chapter = command(QStringLiteral("ActSCSTKST")))
    connect(TreeView1, &CategoryTreeView::nodeChosen, chapter, &QAction::trigger);

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
}

void TFrmMain::selectMainMenu(int i) { Panel1->selectMainMenu(i); }

bool TFrmMain::fullScreenMode() const {
  const QAction *full = command(QStringLiteral("ActFullScreen"));
  return full && TActionList::Tag(full) == 1;
}

bool TFrmMain::paperOnDisplay() {
  if (m_paper.onDisplay)
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
  const qsizetype count = qsizetype(request.paper.size());
  std::optional<PaperRequest> firstPart;
  if (count > PaperText::MaxPaper) {
    if (!dialogs().question(PaperText::TooLargePaperQuestion(count), PaperText::LargePaperCaption))
      return false;
    firstPart = request;
    firstPart->paper.resize(size_t(PaperText::MaxPaper));
  } else if (count > PaperText::LargePaper &&
             !dialogs().question(PaperText::LargePaperQuestion(count), PaperText::LargePaperCaption)) {
    return false;
  }
  BuildRequestedPaper(m_paper, firstPart ? *firstPart : request, *m_dm, m_programDir);
  showGeneratedPaper();
  return true;
}

void TFrmMain::reloadPaper() {
  if (!m_paper.onDisplay || m_paper.paper.empty())
    return;
  BuildRequestedPaper(m_paper, PaperRequest::keepingKind(m_paper, m_paper.paper), *m_dm, m_programDir);
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
  ApplyRequestedPaper(m_paper, *bank.request, std::move(*bank.page), m_programDir);
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

// The feedback form shows the question on a page of its own: the paper on
// display, its kind and title stay as they were.

void TFrmMain::AfterBankUpdate() {
  TreeViewIndex = 0;
  applyTitle();
  if (QAction *bank = command(QStringLiteral("ActShiTiKu")))
    bank->trigger();
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

void TFrmMain::closeEvent(QCloseEvent *e) {
  if (!dialogs().question(QStringLiteral("是否要退出系统？(Y/N)"), QStringLiteral("询问"))) {
    e->ignore();
    return;
  }
  QFile::remove(m_programDir.questionPagePath());
  QFile::remove(m_programDir.feedbackPagePath());
  e->accept();
}
