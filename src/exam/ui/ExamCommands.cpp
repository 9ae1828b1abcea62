#include "exam/ui/ExamCommands.h"
#include "render/ActionList.h"
#include "render/AppContext.h"

// Commands whose dialogs are not part of the program yet are registered
// without a handler: they exist, disabled, for the window's buttons and menus.
void registerExamCommands(TActionList &commands, AppContext &) {
  commands.add({QStringLiteral("ActMLKC"), QStringLiteral("模拟考场"), CommandCategory::MainMenu});
}
