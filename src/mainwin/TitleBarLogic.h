#pragma once
// The four picture buttons that stand in for the caption buttons. Each
// button's Tag names what it is: 0 help menu, 1 minimise, 2 restore (the
// window is maximised), 3 close, 4 maximise (the window is not maximised).
// The Tag chooses the picture set and what a release does.

#include <QString>
#include <array>

namespace TitleBar {

// Picture states, the digit that ends a picture name.
enum State { Leave = 1, Over = 2, Down = 3 };

// "SysHelp1" … "SysClose3": the picture of a button with `tag` in `state`.
// An unknown tag gives an empty name.
QString pictureName(int tag, State state);

enum class Command { PopupHelp, Minimize, Restore, Close, Maximize, None };

struct Release {
  Command command;
  int newTag; // the button's Tag after the release
};

// What a mouse release on a button with `tag` does.
Release release(int tag);

// The Tag of the third button for a window state.
inline int maximizeButtonTag(bool maximized) { return maximized ? 2 : 4; }

// Widths of the four buttons and their height.
constexpr std::array<int, 4> kButtonWidths = {77, 28, 28, 45};
constexpr int kButtonHeight = 23;
constexpr int kButtonTop = 1;
// The help button starts this far from the right edge of the window.
constexpr int kRightReserve = 179;

// Left edges of the four buttons in a window `windowWidth` wide.
std::array<int, 4> buttonLefts(int windowWidth);

} // namespace TitleBar
