#include "collections/ui/CollectionsCommands.h"
#include "render/ActionList.h"
#include "render/AppContext.h"

// Commands whose dialogs are not part of the program yet are registered
// without a handler: they exist, disabled, for the window's buttons and menus.
void registerCollectionsCommands(TActionList &commands, AppContext &) {
  commands.add({QStringLiteral("ActSCJST"), QStringLiteral("收藏夹"), CommandCategory::MainMenu});
  commands.add({QStringLiteral("ActSTCZ"), QStringLiteral("试题查找"), CommandCategory::MainMenu, {QKeySequence(Qt::CTRL | Qt::Key_F)}});
}
