#pragma once
// TFrmMain: the main window. Names in plain words: docs/NAMES.md
// The main window: a frameless window with the title strip on top, the
// question-bank tree on the left and, on the right, the paper toolbar above
// the view that shows the question page.
//
// Creating it opens the question bank (unmask, open, mask) and loads the
// system parameters, then reads the chapter tree and builds the start
// chapter's paper on a worker thread while it registers every feature's
// commands, makes its widgets and attaches the page bridge to the view; then
// it shows that paper. When the bank cannot be opened the learner is told,
// startupFailed() is true and the program ends.
//
// The window only assembles: each feature registers its own commands from
// its folder with where they appear (CommandPlace), the window builds its
// main menu, help menu and paper toolbar from that, and every paper reaches
// the view through showPaper().

#include "common/ProgramDir.h"
#include "mainwin/CategoryTree.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperPresenter.h"

#include <QWidget>
#include <memory>

class CategoryTreeView;
class PaperToolbarBar;
struct PreparedBank;
class QAction;
class QLabel;
class QMenu;
class QSplitter;
class TActionList;
class TDataModule1;
class TExternalContainer;
class TitleStrip;
class WebHtmlView;

class TFrmMain : public QWidget, public PaperPresenter {
  Q_OBJECT
public:
  explicit TFrmMain(const ProgramDir &programDir, QWidget *parent = nullptr);
  ~TFrmMain() override;

  bool startupFailed() const { return m_startupFailed; }
  // Shows the window maximised as soon as the start paper's request is on its
  // way, at once when no load is pending, and after kShowAtLatestMs at the
  // latest. The engine takes a load's first steps only from the event loop,
  // and the window's first paint (the tree's text above all) would hold them
  // up about 15 ms; the window appears a few milliseconds later instead.
  void showMaximizedOnceLoading();
  static constexpr int kShowAtLatestMs = 500;
  const ProgramDir &programDir() const { return m_programDir; }
  TDataModule1 *dataModule() const { return m_dm.get(); }
  AppContext &context() { return *m_context; }

  // --- controls ---------------------------------------------------------
  TitleStrip *Panel1 = nullptr;           // the top strip
  QWidget *Panel6 = nullptr;              // the tree column
  QWidget *Panel8 = nullptr;              // its header
  QLabel *LabelMulu = nullptr;            // "题库目录"
  CategoryTreeView *TreeView1 = nullptr;  // the question-bank tree
  QSplitter *Splitter2 = nullptr;         // between the tree column and the right side
  PaperToolbarBar *PanelPaperToolBar = nullptr; // the paper toolbar, 30 high
  WebHtmlView *WebBrowser1 = nullptr;     // shows the question page
  QMenu *PopupMenuHelp = nullptr;         // the menu of the help button

  // --- commands -----------------------------------------------------------
  TActionList *ActionManager1 = nullptr;
  // The command of that name (ActShiTiKu, ActSummitPaper …); nullptr for none.
  QAction *command(const QString &name) const;
  // The command that declared main-menu button i; nullptr for none.
  QAction *menuAction(int i) const;

  // --- state --------------------------------------------------------------
  int TaskbarHeight = 0; // screen height − available height, at start
  // Absolute index of the node of the last chapter paper. Kept 32 bits wide
  // so that any node of a large tree is found again.
  int TreeViewIndex = 0;
  CategoryTree &categoryTree() { return *m_tree; }
  AppEvents &events() { return m_events; }
  // The paper on display (the features reach it through context()).
  PaperState &paperState() { return m_paper; }

  // Sets the paper state, builds the page, shows it from its top, resets the
  // paper toolbar, announces paperShown. Refuses an empty request with
  // "没有试题！" (false). Throws (nothing changed) when the page cannot be
  // built.
  bool showPaper(const PaperRequest &request) override;
  // The paper on display rebuilt from the paper state and reloaded where the
  // learner had scrolled to.
  void reloadPaper() override;
  // The last steps of showPaper: the paper toolbar's left group and settings
  // button visible, the view on the new page from its top, answers hidden.
  void showGeneratedPaper();
  // What PrepareBank read, applied: the tree filled, its start node selected
  // and, when the node's paper was rendered, that paper written, shown and
  // the tree position stored. Throws what preparing met.
  void showPreparedBank(PreparedBank &&bank);
  // After a chapter paper is on display: node `index` becomes the tree
  // position and is stored. A bank that cannot be written (a full disk, a
  // read-only folder) still shows the paper; the error is thrown after.
  void storeTreePosition(int index);
  // A command moves the main-menu selection to button i.
  void selectMainMenu(int i);
  bool fullScreenMode() const;
  // "请先选择试卷！" when no question page has been shown yet.
  bool paperOnDisplay();
  // After the bank was replaced (AppEvents::bankReplaced; the parameters are
  // loaded again by then): back to the first node, the title reloaded, the
  // tree rebuilt and its selected node's paper shown once.
  void AfterBankUpdate();
  // Title from the system parameters.
  void applyTitle();

protected:
  void closeEvent(QCloseEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void changeEvent(QEvent *e) override;
  void showEvent(QShowEvent *e) override;

private:
  bool openDatabase();
  void registerCommands();
  void buildUi();
  void connectEvents();

  ProgramDir m_programDir;
  AppEvents m_events;
  PaperState m_paper;
  std::unique_ptr<TDataModule1> m_dm;
  std::unique_ptr<AppContext> m_context;
  std::unique_ptr<TExternalContainer> m_container;
  std::unique_ptr<CategoryTree> m_tree = std::make_unique<CategoryTree>();
  bool m_startupFailed = false;
};
