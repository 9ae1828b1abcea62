#include "settings/ui/SettingsCommands.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "settings/ui/JMSZ.h"
#include "settings/ui/UISet.h"

namespace {
// Both openers of the display settings: after OK the program takes the new
// look (the window reloads the paper on display).
void ActUISet(AppContext &context) {
  if (OpenDisplaySettings(context.dm, context.programDir, context.makeView, context.window))
    emit context.events.settingsChanged();
}
} // namespace

void registerSettingsCommands(TActionList &commands, AppContext &context) {
  commands.add({QStringLiteral("ActYHSZ"), QStringLiteral("用户设置"), CommandCategory::MainMenu, {}, [&context] {
                  execOwned(new TFrmJMSZ(context.dm, [&context] { ActUISet(context); }, context.window));
                }, CommandPlace::menu(7)});
  commands.add({QStringLiteral("ActUISet"), QStringLiteral("界面设置"), CommandCategory::PaperToolbar, {},
                [&context] { ActUISet(context); }, CommandPlace::paperToolbar(PaperToolbarButton::UISet)});
}
