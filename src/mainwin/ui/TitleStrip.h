#pragma once
// The main window's top strip: the title (dragging it moves the window), the
// eight main-menu picture buttons with their three states and the four
// title-bar picture buttons (help, minimise, maximise/restore, close).
//
// Each menu button runs the command that declared its place
// (CommandPlace::menuSlot); a button without one is greyed and takes no hover
// and no click.

#include "mainwin/MainMenuState.h"

#include <QPoint>
#include <QWidget>
#include <array>

class PictureButton;
class QAction;
class TActionList;
class QLabel;
class QMenu;

class TitleStrip : public QWidget {
  Q_OBJECT
public:
  // The menu buttons run the commands that declared their places in
  // `commands`, left to right.
  TitleStrip(const TActionList &commands, QWidget *parent);

  QWidget *Panel3 = nullptr;  // parent of title, menu and title-bar buttons
  QLabel *Image3 = nullptr;   // the strip's background picture
  QLabel *LabTitle = nullptr; // the title
  std::array<PictureButton *, 8> MenuImages{};
  std::array<PictureButton *, 4> SysIcons{}; // help, minimise, maximise/restore, close
  MainMenuState menuState;    // SelectedMenuIndex, MenuHoverShown, MenuPressed

  void setTitle(const QString &title);
  // The menu of the help button (its click and its context menu).
  void setHelpMenu(QMenu *menu) { m_helpMenu = menu; }
  // A command moves the menu selection to button i.
  void selectMainMenu(int i);
  // The maximise/restore button follows the window's state.
  void syncMaximizeButton();
  // Places the title and the title-bar buttons for the strip's width.
  void layoutTitleBar();
  void popupHelpMenu();

protected:
  void resizeEvent(QResizeEvent *e) override;
  bool eventFilter(QObject *watched, QEvent *e) override;

private:
  void buildSysIcons();
  void buildMenuImages();
  void applyMenuChanges(const MainMenuState::Changes &changes);
  void updateMenuButton(int i);
  void sysIconEvent(int index, int state);
  void sysIconReleased(int index);

  std::array<QAction *, 8> m_menuActions;
  QMenu *m_helpMenu = nullptr;
  bool m_dragging = false;
  QPoint m_dragOffset;
};
