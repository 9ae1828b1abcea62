#pragma once
// The main window: a frameless window with a picture strip on top (title,
// the eight main-menu picture buttons, four title-bar picture buttons), the
// question-bank tree on the left and, on the right, the paper toolbar above
// the view that shows the question page.
//
// Creating it attaches the page bridge to the view, opens the question bank
// (unmask, open, mask), loads the system parameters and shows the start
// chapter's paper. When the bank cannot be opened the learner is told,
// startupFailed() is true and the program ends.

#include "common/ProgramDir.h"
#include "mainwin/ActionList.h"
#include "mainwin/CategoryTree.h"
#include "mainwin/MainMenuState.h"
#include "mainwin/PaperToolbarLogic.h"

#include <QPoint>
#include <QWidget>
#include <array>
#include <memory>

class CategoryTreeView;
class PictureButton;
class QLabel;
class QMenu;
class QSplitter;
class TDataModule1;
class TExternalContainer;
class WebHtmlView;

class TFrmMain : public QWidget {
  Q_OBJECT
public:
  explicit TFrmMain(const ProgramDir &programDir, QWidget *parent = nullptr);
  ~TFrmMain() override;

  bool startupFailed() const { return m_startupFailed; }
  const ProgramDir &programDir() const { return m_programDir; }
  TDataModule1 *dataModule() const { return m_dm.get(); }

  // --- controls ---------------------------------------------------------
  QWidget *Panel1 = nullptr;              // the top strip
  QWidget *Panel3 = nullptr;              // parent of title, menu and title-bar buttons
  QLabel *Image3 = nullptr;               // the strip's background picture
  QLabel *LabTitle = nullptr;             // the title; dragging it moves the window
  QWidget *Panel6 = nullptr;              // the tree column
  QWidget *Panel8 = nullptr;              // its header
  QLabel *LabelMulu = nullptr;            // "题库目录"
  CategoryTreeView *TreeView1 = nullptr;  // the question-bank tree
  QSplitter *Splitter2 = nullptr;         // between the tree column and the right side
  QWidget *PanelPaperToolBar = nullptr;   // the paper toolbar, 30 high
  QWidget *PanelPaperToolbar1 = nullptr;  // its left group
  QWidget *PanelPaperToolbar2 = nullptr;  // its right group
  // The paper toolbar's picture buttons: answer again, show/hide answers,
  // submit (left group); display settings, print, larger, smaller, full
  // screen (right group).
  PictureButton *ImagePaperTools0 = nullptr, *ImagePaperTools1 = nullptr, *ImagePaperTools2 = nullptr,
                *ImagePaperTools3 = nullptr, *ImagePaperTools4 = nullptr, *ImagePaperTools5 = nullptr,
                *ImagePaperTools6 = nullptr, *ImagePaperTools7 = nullptr;
  WebHtmlView *WebBrowser1 = nullptr;     // shows the question page
  QMenu *PopupMenuHelp = nullptr;         // the menu of the help button
  std::array<PictureButton *, 8> MenuImages{};
  std::array<PictureButton *, 4> SysIcons{}; // help, minimise, maximise/restore, close

  // --- commands -----------------------------------------------------------
  TActionList *ActionManager1 = nullptr;
  // main menu
  QAction *ActShiTiKu = nullptr, *ActMLKC = nullptr, *ActErrorRedo = nullptr, *ActShiTiJiQiao = nullptr,
          *ActSCJST = nullptr, *ActTongJiFenXi = nullptr, *ActSTCZ = nullptr, *ActYHSZ = nullptr;
  // help menu
  QAction *ActShuJuBeiFen = nullptr, *ActShuJuHuanYuan = nullptr, *ActAbout = nullptr, *ActSite = nullptr;
  // further commands and links
  QAction *ActWGZX = nullptr, *ActUpdate = nullptr, *ActHelp = nullptr, *ActCWFK = nullptr, *ActZZFW = nullptr,
          *ActZWCX = nullptr, *ActZKXX = nullptr, *ActBMBZ = nullptr, *ActSCSTKST = nullptr;
  // paper toolbar (category "试卷工具栏")
  QAction *ActReAnswer = nullptr, *ActShowAllAnswer = nullptr, *ActSummitPaper = nullptr, *ActUISet = nullptr,
          *ActPrint = nullptr, *ActZoomIn = nullptr, *ActZoomOut = nullptr, *ActFullScreen = nullptr;

  // The action of main-menu button i.
  QAction *menuAction(int i) const;
  // ImagePaperTools0 … ImagePaperTools7 by number.
  PictureButton *paperToolButton(int i) const;

  // --- state --------------------------------------------------------------
  MainMenuState menuState;  // SelectedMenuIndex, MenuHoverShown, MenuPressed
  PaperToolbar::Buttons paperTools; // the Tags of the paper toolbar's buttons
  int TaskbarHeight = 0;    // screen height − available height, at start
  // Absolute index of the node of the last chapter paper. Kept 32 bits wide
  // so that any node of a large tree is found again.
  int TreeViewIndex = 0;
  const CategoryTree &categoryTree() const { return m_tree; }

  // --- command bodies -----------------------------------------------------
  void ActShiTiKuExecute();
  void ActSCSTKSTExecute();
  void ActShiTiJiQiaoExecute();
  void ActAboutExecute();
  void ActSiteExecute();
  void ActHelpExecute();
  void ActCWFKExecute();
  void ActZZFWExecute();
  void ActZWCXExecute();
  void ActZKXXExecute();
  void ActBMBZExecute();
  void ActFullScreenExecute();
  // The paper toolbar's commands.
  void ActReAnswerExecute();
  void ActShowAllAnswerExecute();
  void ActSummitPaperExecute();
  void ActPrintExecute();
  void ActZoomInExecute();
  void ActZoomOutExecute();
  // After a successful online update: back to the first node, parameters
  // and title reloaded, the tree rebuilt and its selected node practised.
  void AfterBankUpdate();

  // The closing steps of every command that has just built a question page:
  // the paper toolbar's left group and settings button visible, the view on
  // the page, the show-answer state reset.
  void showGeneratedPaper();
  // Resets the show-answer button and command to "answers hidden".
  void InitShowAnswer();
  // A command moves the main-menu selection to button i.
  void selectMainMenu(int i);
  bool fullScreenMode() const;

protected:
  void closeEvent(QCloseEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void changeEvent(QEvent *e) override;
  void showEvent(QShowEvent *e) override;
  bool eventFilter(QObject *watched, QEvent *e) override;

private:
  bool openDatabase();
  void buildUi();
  void buildActions();
  void buildSysIcons();
  void buildMenuImages();
  void buildPaperTools();
  void buildHelpMenu();
  void buildShortcuts();
  void applyMenuChanges(const MainMenuState::Changes &changes);
  void updateMenuButtonTip(int i);
  void sysIconEvent(int index, int state);
  void showPaperToolPicture(int button, PaperToolbar::Picture picture);
  void paperToolReleased(int button);
  void updatePaperToolTip(int button);
  QAction *paperToolAction(int tag) const;
  // "请先选择试卷！" when no question page has been shown yet.
  bool paperOnDisplay();
  void sysIconReleased(int index);
  void syncMaximizeButton();
  void layoutTitleBar();
  void splitterMoved();
  void runCommand(QAction *action, void (TFrmMain::*body)());
  void openInShell(const QString &target);
  QString parameterValue(const QString &key);
  void switchFocus();

  ProgramDir m_programDir;
  std::unique_ptr<TDataModule1> m_dm;
  std::unique_ptr<TExternalContainer> m_container;
  CategoryTree m_tree;
  bool m_startupFailed = false;
  // dragging the title label where the window system offers no move
  bool m_dragging = false;
  QPoint m_dragOffset;
};
