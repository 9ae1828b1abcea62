#pragma once
// Where a command appears in the window. A feature declares it when it
// registers the command (TActionList::Command::place); the window builds its
// main menu, help menu and paper toolbar from the registry and names no
// feature's command itself.

// The picture buttons of the paper toolbar a command can sit on.
enum class PaperToolbarButton { ReAnswer, ShowAllAnswer, SummitPaper, UISet, Print, ZoomIn, ZoomOut, FullScreen, None };

// The help menu's groups, top to bottom.
namespace HelpGroup {
constexpr int Data = 0;  // backup, restore, contact, site
constexpr int Tools = 1; // the commands without a button of their own
constexpr int Links = 2; // the pages of the bank's links
constexpr int View = 3;  // full screen
} // namespace HelpGroup

struct CommandPlace {
  // The main-menu button 0 … 7 of the title strip (its key is Ctrl+1 …
  // Ctrl+8); -1: none.
  int menuSlot = -1;
  // The help menu: commands are listed by group, a separator between two
  // groups, and by order inside a group; group -1: not in the help menu.
  int helpGroup = -1;
  int helpOrder = 0;
  PaperToolbarButton toolbar = PaperToolbarButton::None;

  static CommandPlace menu(int slot) { return {slot, -1, 0, PaperToolbarButton::None}; }
  static CommandPlace help(int group, int order) { return {-1, group, order, PaperToolbarButton::None}; }
  static CommandPlace paperToolbar(PaperToolbarButton button) { return {-1, -1, 0, button}; }
  CommandPlace andHelp(int group, int order) const {
    CommandPlace p = *this;
    p.helpGroup = group;
    p.helpOrder = order;
    return p;
  }
};
