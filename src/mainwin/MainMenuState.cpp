#include "mainwin/MainMenuState.h"

MainMenuState::Changes MainMenuState::mouseMove(int i) {
  if (!valid(i) || MenuHoverShown || MenuPressed)
    return {};
  MenuHoverShown = true;
  return {{i, Hover}};
}

MainMenuState::Changes MainMenuState::mouseLeave(int i) {
  Changes changes;
  if (valid(i) && MenuHoverShown && !MenuPressed)
    changes.push_back({i, restingPicture(i)});
  MenuPressed = false;
  MenuHoverShown = false;
  return changes;
}

MainMenuState::Changes MainMenuState::mouseDown(int i) {
  if (!valid(i) || i == SelectedMenuIndex)
    return {};
  Changes changes = select(i);
  MenuPressed = true;
  return changes;
}

MainMenuState::Changes MainMenuState::select(int i) {
  if (!valid(i))
    return {};
  Changes changes;
  if (i != SelectedMenuIndex && valid(SelectedMenuIndex))
    changes.push_back({SelectedMenuIndex, Normal});
  changes.push_back({i, Selected});
  SelectedMenuIndex = i;
  return changes;
}
