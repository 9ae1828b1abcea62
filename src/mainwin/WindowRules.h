#pragma once
// Size rules of the main window and its tree column, apart from widgets.

#include <QSize>

namespace WindowRules {

constexpr int kMinWidth = 800;
constexpr int kMinHeight = 600;
constexpr int kMinTreeWidth = 220;
// The browser keeps at least this much of the screen's width.
constexpr int kBrowserReserve = 800;

// The size a window of `size` is given: at least 800 × 600, and a window as
// high as the screen or higher gives up the taskbar's height.
QSize constrainedSize(QSize size, int screenHeight, int taskbarHeight);

// The width the tree column is given after the splitter moved: at least
// 220 and at most screen width − 800 (never below 220 on a narrow screen).
int clampedTreeWidth(int width, int screenWidth);

// The taskbar's height from the screen's full and available heights; 0
// when the whole screen is available.
int taskbarHeight(int screenHeight, int availableHeight);

} // namespace WindowRules
