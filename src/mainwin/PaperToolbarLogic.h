#pragma once
// The eight picture buttons of the paper toolbar, apart from widgets. Each
// button's Tag names what it is and so which picture it shows and which
// command its release runs:
//   0 answer again, 1 show answers (4 while answers are shown), 2 submit,
//   3 display settings, 5 print, 6 larger text, 7 smaller text,
//   8 full screen (9 in full-screen mode).
// Tags below 5 use the wide (92 × 28) picture lists at index Tag, the others
// the narrow (65 × 28) lists at index Tag − 5:
//   normal ImageList5 / ImageList7, hover ImageList9 / ImageList8,
//   pressed ImageList6 / ImageList10.

#include "app/CommandPlace.h"

#include <QString>
#include <array>

namespace PaperToolbar {

// The button a command declares it sits on (CommandPlace::toolbar).
using Command = PaperToolbarButton;
enum State { Normal, Hover, Pressed };

// A picture of one of the lists: `list` is the number of ImageList5 …
// ImageList10, `index` the position in it. list 0 for an unknown Tag.
struct Picture {
  int list = 0;
  int index = 0;
  bool operator==(const Picture &o) const { return list == o.list && index == o.index; }
  bool operator!=(const Picture &o) const { return !(*this == o); }
};

constexpr int kButtonCount = 8;
constexpr int kHeight = 28;
constexpr int kWideWidth = 92, kNarrowWidth = 65;
// The Tags the buttons ImagePaperTools0 … ImagePaperTools7 start with.
constexpr std::array<int, kButtonCount> kDesignTags = {0, 1, 2, 3, 5, 6, 7, 8};
// Buttons 0–2 form the left group, 3–7 the right group; their left edges
// inside the group.
constexpr int kLeftGroupCount = 3;
constexpr std::array<int, kButtonCount> kLefts = {20, 112, 206, 14, 107, 173, 239, 305};

inline bool isWide(int tag) { return tag < 5; }
inline int width(int tag) { return isWide(tag) ? kWideWidth : kNarrowWidth; }
inline bool validTag(int tag) { return tag >= 0 && tag <= 9; }

// The picture of a button with `tag` in `state`.
Picture picture(int tag, State state);
// The label drawn into the pictures of `tag` (重新答题 … 退出); empty for an
// unknown Tag.
QString label(int tag);
// The command a release runs for the (already toggled) `tag`.
Command command(int tag);
// A release toggles 1 ↔ 4 and 8 ↔ 9; other Tags stay.
int toggled(int tag);

// The show-answer command's own Tag: 0 answers hidden, 1 shown.
inline int nextShowAnswerTag(int actionTag) { return actionTag == 0 ? 1 : 0; }
QString showAnswerCaption(int actionTag); // 显示答案 (0) / 隐藏答案 (1)
QString showAllAnswerScript(int actionTag); // "showAllAnswer(1)" / "showAllAnswer(0)"
// The show-answer button's Tag that goes with the command's Tag.
inline int showAnswerButtonTag(int actionTag) { return actionTag == 0 ? 1 : 4; }
// The full-screen button's Tag that goes with the mode.
inline int fullScreenButtonTag(bool fullScreen) { return fullScreen ? 9 : 8; }

// The Tags of the eight buttons and what each mouse event shows.
class Buttons {
public:
  struct Release {
    Picture picture; // the normal picture of the new Tag
    Command command;
  };

  int tag(int button) const { return valid(button) ? m_tags[std::size_t(button)] : -1; }

  // Mouse moves over / leaves / goes down on a button: the picture to show.
  // They do not look at whether the button is pressed.
  Picture mouseMove(int button) const { return pictureOf(button, Hover); }
  Picture mouseLeave(int button) const { return pictureOf(button, Normal); }
  Picture mouseDown(int button) const { return pictureOf(button, Pressed); }
  // The button goes up: its Tag toggles (1 ↔ 4, 8 ↔ 9) and is kept; the
  // normal picture of the new Tag and its command.
  Release mouseUp(int button);

  // Sets a button's Tag (the show-answer and full-screen buttons follow
  // their commands); the normal picture of that Tag.
  Picture setTag(int button, int tag);
  // A new paper: the show-answer button back to 显示答案 (Tag 1).
  Picture initShowAnswer() { return setTag(ShowAnswerButton, 1); }

  static constexpr int ShowAnswerButton = 1;
  static constexpr int FullScreenButton = 7;

private:
  static bool valid(int button) { return button >= 0 && button < kButtonCount; }
  Picture pictureOf(int button, State state) const {
    return valid(button) ? picture(m_tags[std::size_t(button)], state) : Picture{};
  }
  std::array<int, kButtonCount> m_tags = kDesignTags;
};

} // namespace PaperToolbar
