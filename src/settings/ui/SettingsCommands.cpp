#include "settings/ui/SettingsCommands.h"
#include "render/ActionList.h"
#include "render/AppContext.h"

// Commands whose dialogs are not part of the program yet are registered
// without a handler: they exist, disabled, for the window's buttons and menus.
void registerSettingsCommands(TActionList &commands, AppContext &) {
  commands.add({QStringLiteral("ActYHSZ"), QStringLiteral("用户设置"), CommandCategory::MainMenu});
  commands.add({QStringLiteral("ActUISet"), QStringLiteral("界面设置"), CommandCategory::PaperToolbar});
}
