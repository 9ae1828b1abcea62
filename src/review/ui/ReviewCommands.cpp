#include "review/ui/ReviewCommands.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/PaperPresenter.h"
#include "app/ui/ExecForPaper.h"
#include "review/ui/ErrorRedo.h"
#include "review/ui/TongJiFenXi.h"
#include "review/ui/WGZX.h"

namespace {

// A paper of a past test's questions, kind 5, stored as a new test. Cancel
// leaves the paper on display and its kind as they were.
void ActWGZX(AppContext &context) {
  execAndShowPaper(context.presenter, new TFrmWGZX(context.dm, context.window), [](TFrmWGZX &form) {
    PaperRequest request;
    request.paper = form.paper();
    request.kind = PaperKinds::Review;
    request.title = DatedPaperTitle(QStringLiteral("温故知新"));
    return request;
  });
}

// The wrong questions of a stored test, kind 6: a stored result overwrites
// that test's record. Cancel leaves the paper on display, its kind and the
// test it redoes as they were.
void ActErrorRedo(AppContext &context) {
  execAndShowPaper(context.presenter, new TFrmErrorRedo(context.dm, context.window), [](TFrmErrorRedo &form) {
    PaperRequest request;
    request.paper = form.paper();
    request.kind = PaperKinds::Redo;
    request.redoTestId = form.redoTestId();
    request.title = DatedPaperTitle(QStringLiteral("错题重做"));
    return request;
  });
}

} // namespace

void registerReviewCommands(TActionList &commands, AppContext &context) {
  commands.add({QStringLiteral("ActErrorRedo"), QStringLiteral("错题重做"), CommandCategory::MainMenu, {},
                [&context] { ActErrorRedo(context); }, CommandPlace::menu(2)});
  commands.add({QStringLiteral("ActTongJiFenXi"), QStringLiteral("统计分析"), CommandCategory::MainMenu, {},
                [&context] { execOwned(new TFrmTongJiFenXi(context.dm, context.window)); },
                CommandPlace::menu(5)});
  commands.add({QStringLiteral("ActWGZX"), QStringLiteral("温故知新"), CommandCategory::HelpMenu, {},
                [&context] { ActWGZX(context); }, CommandPlace::help(HelpGroup::Tools, 2)});
}
