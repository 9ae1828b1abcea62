#pragma once
// The picture state of the main-menu buttons: which one shows its selected
// picture, whether one shows its hover picture, whether one was pressed and
// not yet left. Each event returns the picture changes the buttons must
// show; the window applies them and repaints.

#include <vector>

class MainMenuState {
public:
  // ImageList1, ImageList2, ImageList3.
  enum Picture { Normal, Hover, Selected };
  struct Change {
    int index;
    Picture picture;
    bool operator==(const Change &o) const { return index == o.index && picture == o.picture; }
  };
  using Changes = std::vector<Change>;

  explicit MainMenuState(int count = 8) : m_count(count) {}

  int count() const { return m_count; }

  // The mouse moves over button i: its hover picture, unless a hover
  // picture is already shown or a button was pressed.
  Changes mouseMove(int i);
  // The mouse leaves button i: back to its resting picture when it showed
  // its hover picture and was not pressed; both flags are cleared.
  Changes mouseLeave(int i);
  // A mouse button goes down on button i: i becomes the selected button
  // (nothing changes when it already is).
  Changes mouseDown(int i);
  // A command moves the selection to button i itself (no pressed flag).
  Changes select(int i);

  // The resting picture of button i.
  Picture restingPicture(int i) const { return i == SelectedMenuIndex ? Selected : Normal; }

  int SelectedMenuIndex = 0;
  bool MenuHoverShown = false;
  bool MenuPressed = false;

private:
  bool valid(int i) const { return i >= 0 && i < m_count; }
  int m_count;
};
