#include "maintenance/ui/MaintenanceCommands.h"
#include "maintenance/ui/DBBackup.h"
#include "maintenance/ui/FrmUpdate.h"
#include "app/ActionList.h"
#include "app/AppContext.h"

void registerMaintenanceCommands(TActionList &commands, AppContext &context) {
  commands.add({QStringLiteral("ActShuJuBeiFen"), QStringLiteral("数据备份(&B)"), CommandCategory::HelpMenu, {},
                [&context] { execOwned(new TFrmDBBackup(context.dm, context.window)); },
                CommandPlace::help(HelpGroup::Data, 0)});
  commands.add({QStringLiteral("ActShuJuHuanYuan"), QStringLiteral("数据还原(&R)"), CommandCategory::HelpMenu, {},
                [&context] { execOwned(new TFrmDBRestore(context, context.window)); },
                CommandPlace::help(HelpGroup::Data, 1)});
  // A completed update announces the new bank (AppEvents::bankReplaced) while
  // the dialog is still open; the window reloads on that, once.
  commands.add({QStringLiteral("ActUpdate"), QStringLiteral("在线升级(&U)"), CommandCategory::HelpMenu, {},
                [&context] { execOwned(new TFrmUpdate(context, context.window)); },
                CommandPlace::help(HelpGroup::Tools, 1)});
}
