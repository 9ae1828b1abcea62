#include "review/ui/ReviewCommands.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperPresenter.h"
#include "app/ui/ExecForPaper.h"
#include "review/ui/ErrorRedo.h"
#include "review/ui/TongJiFenXi.h"
#include "review/ui/WGZX.h"
#include "store/DM.h"
#include "store/ReviewSchedule.h"

#include <QDateTime>
#include <QTimer>

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
// that test's record. Or the questions due for review (今日复习), kind 7,
// stored as a new test. Cancel leaves the paper on display, its kind and the
// test it redoes as they were.
void ActErrorRedo(AppContext &context) {
  execAndShowPaper(context.presenter, new TFrmErrorRedo(context.dm, context.window), [](TFrmErrorRedo &form) {
    PaperRequest request;
    request.paper = form.paper();
    request.kind = form.paperKind();
    if (request.kind == PaperKinds::DueReview) {
      request.title = DatedPaperTitle(QStringLiteral("今日复习"));
    } else {
      request.redoTestId = form.redoTestId();
      request.title = DatedPaperTitle(QStringLiteral("错题重做"));
    }
    return request;
  });
}

// The 错题库 button's count and tooltip line: the questions due for review
// today. A bank that cannot be read now (a worker holds it, it is being
// replaced) keeps the last count.
void showDueCount(QAction *a, TDataModule1 &dm) {
  int due = 0;
  try {
    if (!dm.ADOConnection1.Connected())
      return;
    due = ReviewSchedule::dueCount(dm.ADOConnection1, QDate::currentDate());
  } catch (const std::exception &) {
    return;
  }
  TActionList::setBadge(a, due == 0 ? QString() : due > 99 ? QStringLiteral("99+") : QString::number(due),
                        due == 0 ? QStringLiteral("今日复习：今天没有到期的题")
                                 : QStringLiteral("今日复习：%1 题到期").arg(due));
}

// Counted again whenever it can have changed: a paper shown (the start's
// first), a result stored, the redo window closed, the bank replaced, and
// just after midnight.
void keepDueCount(QAction *a, AppContext &context) {
  TDataModule1 &dm = context.dm;
  const auto refresh = [a, &dm] { showDueCount(a, dm); };
  QObject::connect(&context.events, &AppEvents::paperShown, a, refresh);
  QObject::connect(&context.events, &AppEvents::historyChanged, a, refresh);
  QObject::connect(&context.events, &AppEvents::bankReplaced, a, refresh);
  QObject::connect(a, &QAction::triggered, a, refresh); // after the window's own handler
  auto *midnight = new QTimer(a);
  midnight->setSingleShot(true);
  const auto arm = [midnight] {
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime next(now.date().addDays(1), QTime(0, 0, 5));
    midnight->start(int(std::clamp<qint64>(now.msecsTo(next), 1000, 24 * 3600 * 1000)));
  };
  QObject::connect(midnight, &QTimer::timeout, a, [refresh, arm] {
    refresh();
    arm();
  });
  arm();
  refresh();
}

} // namespace

void registerReviewCommands(TActionList &commands, AppContext &context) {
  QAction *redo = commands.add({QStringLiteral("ActErrorRedo"), QStringLiteral("错题重做"), CommandCategory::MainMenu, {},
                                [&context] { ActErrorRedo(context); }, CommandPlace::menu(2)});
  keepDueCount(redo, context);
  commands.add({QStringLiteral("ActTongJiFenXi"), QStringLiteral("统计分析"), CommandCategory::MainMenu, {},
                [&context] { execOwned(new TFrmTongJiFenXi(context.dm, context.window)); },
                CommandPlace::menu(5)});
  commands.add({QStringLiteral("ActWGZX"), QStringLiteral("温故知新"), CommandCategory::HelpMenu, {},
                [&context] { ActWGZX(context); }, CommandPlace::help(HelpGroup::Tools, 2)});
}
