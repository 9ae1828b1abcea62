#include "collections/ui/CollectionsCommands.h"
#include "collections/Favourites.h"
#include "collections/FavouritesWriter.h"
#include "collections/ui/SCJST.h"
#include "collections/ui/STCZ.h"
#include "collections/ui/STGL.h"
#include "common/Dialogs.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperPresenter.h"
#include "app/ui/ExecForPaper.h"

#include <optional>

namespace {

// The favourites, kind 4. Cancel (or nothing left) leaves the paper on
// display and its kind as they were.
void ActSCJST(AppContext &context) {
  const std::vector<FavouriteChapter> chapters = ReadFavourites(context.dm);
  if (chapters.empty()) {
    dialogs().information(FavouritesText::Empty, FavouritesText::EmptyCaption);
    return;
  }
  execAndShowPaper(context.presenter, new TFrmSCJST(context.dm, chapters, context.window), [](TFrmSCJST &form) {
    PaperRequest request;
    request.paper = form.paper();
    request.kind = PaperKinds::Favourites;
    request.title = DatedPaperTitle(FavouritesText::Caption);
    return request;
  });
}

// The question search composes its paper (kind 3) and marks the text it
// found; Cancel leaves the paper on display and its kind as they were.
void ActSTCZ(AppContext &context) {
  execAndShowPaper(context.presenter, new TFrmSTCZ(context, context.window),
                   [](TFrmSTCZ &form) { return form.request(); });
}

} // namespace

void registerCollectionsCommands(TActionList &commands, AppContext &context) {
  // The marks the page's favourite links ask for, as long as the program's
  // events live.
  (new FavouritesWriter(context.dm, context.paper, &context.events))->listenTo(context.events);
  commands.add({QStringLiteral("ActSCJST"), QStringLiteral("收藏夹"), CommandCategory::MainMenu, {},
                [&context] { ActSCJST(context); }, CommandPlace::menu(4)});
  commands.add({QStringLiteral("ActSTGL"), QStringLiteral("试题过滤"), CommandCategory::HelpMenu,
                {QKeySequence(Qt::CTRL | Qt::Key_G)}, [&context] { ActSTGL(context); },
                CommandPlace::help(HelpGroup::Tools, 3)});
  commands.add({QStringLiteral("ActSTCZ"), QStringLiteral("试题查找"), CommandCategory::MainMenu, {QKeySequence(Qt::CTRL | Qt::Key_F)},
                [&context] { ActSTCZ(context); }, CommandPlace::menu(6)});
}
