#include "mainwin/WindowRules.h"

#include <algorithm>

namespace WindowRules {

QSize constrainedSize(QSize size, int screenHeight, int taskbarHeight) {
  int w = std::max(size.width(), kMinWidth);
  int h = std::max(size.height(), kMinHeight);
  if (screenHeight > 0 && h >= screenHeight)
    h = std::max(h - taskbarHeight, kMinHeight);
  return QSize(w, h);
}

int clampedTreeWidth(int width, int screenWidth) {
  const int upper = screenWidth - kBrowserReserve;
  if (width > upper)
    width = upper;
  return std::max(width, kMinTreeWidth);
}

int taskbarHeight(int screenHeight, int availableHeight) {
  return std::max(0, screenHeight - availableHeight);
}

} // namespace WindowRules
