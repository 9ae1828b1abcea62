#include "maintenance/ui/MaintenanceCommands.h"
#include "maintenance/ui/DBBackup.h"
#include "render/ActionList.h"
#include "render/AppContext.h"

// Commands whose dialogs are not part of the program yet are registered
// without a handler: they exist, disabled, for the window's buttons and menus.
void registerMaintenanceCommands(TActionList &commands, AppContext &context) {
  commands.add({QStringLiteral("ActShuJuBeiFen"), QStringLiteral("数据备份(&B)"), CommandCategory::HelpMenu, {},
                [&context] { execOwned(new TFrmDBBackup(context.dm, context.window)); }});
  commands.add({QStringLiteral("ActShuJuHuanYuan"), QStringLiteral("数据还原(&R)"), CommandCategory::HelpMenu, {},
                [&context] { execOwned(new TFrmDBRestore(context.programDir, context.window)); }});
  commands.add({QStringLiteral("ActUpdate"), QStringLiteral("在线升级(&U)"), CommandCategory::HelpMenu});
}
