#include "mainwin/TitleBarLogic.h"

namespace TitleBar {

QString pictureName(int tag, State state) {
  static const char *const bases[] = {"SysHelp", "SysMin", "SysNom", "SysClose", "SysMax"};
  if (tag < 0 || tag > 4)
    return QString();
  return QLatin1String(bases[tag]) + QString::number(int(state));
}

Release release(int tag) {
  switch (tag) {
  case 0:
    return {Command::PopupHelp, 0};
  case 1:
    return {Command::Minimize, 1};
  case 2:
    return {Command::Restore, 4};
  case 3:
    return {Command::Close, 3};
  case 4:
    return {Command::Maximize, 2};
  default:
    return {Command::None, tag};
  }
}

std::array<int, 4> buttonLefts(int windowWidth) {
  std::array<int, 4> lefts{};
  int left = windowWidth - kRightReserve;
  for (std::size_t i = 0; i < lefts.size(); ++i) {
    lefts[i] = left;
    left += kButtonWidths[i];
  }
  return lefts;
}

} // namespace TitleBar
