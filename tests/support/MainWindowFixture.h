#pragma once
// The real main window on a temporary program directory with the demo bank,
// a FakeDialogs installed. Members go in reverse order: the window first.

#include "FakeDialogs.h"
#include "TestEnv.h"
#include "mainwin/ui/Main.h"
#include "mainwin/ui/PaperToolbarBar.h"
#include "mainwin/ui/TitleStrip.h"
#include "app/ActionList.h"

#include <functional>
#include <memory>

class MainWindowFixture {
public:
  // `prepare` runs on the program directory's root before the window starts
  // (a test puts its own bank there).
  explicit MainWindowFixture(const std::function<void(const QString &root)> &prepare = {});

  // Shows the window and waits until it is exposed and active.
  [[nodiscard]] bool showActive();
  // The window's paper on display.
  PaperState &paperState() { return window->paperState(); }

  FakeDialogs dialogs;
  TestEnv::ProgramDirFixture dir;
  std::unique_ptr<TFrmMain> window;
};
