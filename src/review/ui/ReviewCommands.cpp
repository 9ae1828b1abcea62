#include "review/ui/ReviewCommands.h"
#include "render/ActionList.h"
#include "render/AppContext.h"
#include "review/ui/TongJiFenXi.h"

// Commands whose dialogs are not part of the program yet are registered
// without a handler: they exist, disabled, for the window's buttons and menus.
void registerReviewCommands(TActionList &commands, AppContext &context) {
  commands.add({QStringLiteral("ActErrorRedo"), QStringLiteral("错题重做"), CommandCategory::MainMenu});
  commands.add({QStringLiteral("ActTongJiFenXi"), QStringLiteral("统计分析"), CommandCategory::MainMenu, {},
                [&context] { execOwned(new TFrmTongJiFenXi(context.dm, context.window)); }});
  commands.add({QStringLiteral("ActWGZX"), QStringLiteral("温故知新"), CommandCategory::HelpMenu});
}
