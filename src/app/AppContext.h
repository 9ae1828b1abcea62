#pragma once
// What every feature gets from the program: the bank, the program directory,
// a maker of HTML views for its dialogs, the presenter of papers, the paper
// on display, the program's events and the window to centre dialogs on. Messages go through
// dialogs() (common/Dialogs.h).

#include "common/ProgramDir.h"
#include "render/HtmlView.h"

class AppEvents;
class PaperPresenter;
struct PaperState;
class QWidget;
class TDataModule1;

struct AppContext {
  TDataModule1 &dm;
  ProgramDir programDir;
  HtmlViewFactory makeView; // a view for a dialog's page (no page bridge)
  PaperPresenter &presenter;
  // The paper on display: read it here; a new paper comes only through
  // `presenter`.
  PaperState &paper;
  AppEvents &events;
  QWidget *window = nullptr; // parent of the program's dialogs
  // A place in the paper toolbar, right of its left group, where a feature
  // puts a widget of its own into the layout (the mock exam's clock); null
  // until the window has made the toolbar.
  QWidget *paperToolbarSlot = nullptr;
};
