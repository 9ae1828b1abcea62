#pragma once
// The real main window on a temporary program directory with the demo bank,
// a FakeDialogs installed. Members go in reverse order: the window first.

#include "FakeDialogs.h"
#include "TestEnv.h"
#include "mainwin/ui/Main.h"
#include "mainwin/ui/PaperToolbarBar.h"
#include "mainwin/ui/TitleStrip.h"
#include "render/ActionList.h"

#include <memory>

class MainWindowFixture {
public:
  MainWindowFixture();

  // Shows the window and waits until it is exposed and active.
  [[nodiscard]] bool showActive();

  FakeDialogs dialogs;
  TestEnv::ProgramDirFixture dir;
  std::unique_ptr<TFrmMain> window;
};
