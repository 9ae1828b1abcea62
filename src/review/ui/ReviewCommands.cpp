#include "review/ui/ReviewCommands.h"
#include "render/ActionList.h"
#include "render/AppContext.h"
#include "render/PaperPresenter.h"
#include "review/ui/TongJiFenXi.h"
#include "review/ui/WGZX.h"

namespace {

// A paper of a past test's questions, kind 5, stored as a new test. Cancel
// leaves the paper on display and its kind as they were.
void ActWGZX(AppContext &context) {
  std::optional<PaperRequest> request;
  execOwned(new TFrmWGZX(context.dm, context.window), [&](TFrmWGZX &form) {
    if (form.result() != QDialog::Accepted)
      return;
    request.emplace();
    request->paper = form.paper();
    request->kind = PaperKinds::Review;
    request->title = DatedPaperTitle(QStringLiteral("温故知新"));
  });
  if (request)
    context.presenter.showPaper(*request);
}

} // namespace

// Commands whose dialogs are not part of the program yet are registered
// without a handler: they exist, disabled, for the window's buttons and menus.
void registerReviewCommands(TActionList &commands, AppContext &context) {
  commands.add({QStringLiteral("ActErrorRedo"), QStringLiteral("错题重做"), CommandCategory::MainMenu});
  commands.add({QStringLiteral("ActTongJiFenXi"), QStringLiteral("统计分析"), CommandCategory::MainMenu, {},
                [&context] { execOwned(new TFrmTongJiFenXi(context.dm, context.window)); }});
  commands.add({QStringLiteral("ActWGZX"), QStringLiteral("温故知新"), CommandCategory::HelpMenu, {},
                [&context] { ActWGZX(context); }});
}
