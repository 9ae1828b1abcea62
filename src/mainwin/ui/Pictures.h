#pragma once
// The pictures of the main window, drawn at start-up: the main-menu buttons
// (72 × 74, three states, label drawn in), the title-bar buttons ("SysHelp1"
// … "SysClose3"), the strip background, the tree icons (22 × 20) and the
// paper toolbar's buttons.

#include "mainwin/MainMenuState.h"

#include <QPixmap>
#include <QStringList>

namespace Pictures {

constexpr QSize kMenuSize(72, 74);
constexpr QSize kTreeIconSize(22, 20);

// The labels drawn into the main-menu pictures, left to right.
QStringList menuLabels();

// ImageList1 (Normal), ImageList2 (Hover), ImageList3 (Selected) at `index`.
QPixmap menuPicture(int index, MainMenuState::Picture state);

// A title-bar bitmap by name: "SysHelp", "SysMin", "SysNom", "SysMax" or
// "SysClose" followed by 1 (normal), 2 (hover) or 3 (pressed). A null
// pixmap for any other name.
QPixmap sysBitmap(const QString &name);

// The background of the top strip (stretched over it).
QPixmap stripBackground();

// ImageList4: 0 subject and other nodes, 1 chapter, 2 section, 3 section
// selected.
QPixmap treeIcon(int index);

// The main colour of the window (the strip, the splitter, the header text).
QColor accentColor();

// The paper toolbar's pictures: ImageList5 … ImageList10 (see
// PaperToolbarLogic.h) at `index`, 92 × 28 or 65 × 28 with a glyph and the
// label drawn in. A null pixmap for an unknown list or index.
QPixmap paperToolPicture(int list, int index);

} // namespace Pictures
