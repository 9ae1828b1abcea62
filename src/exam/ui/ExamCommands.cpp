#include "exam/ui/ExamCommands.h"
#include "common/Dialogs.h"
#include "exam/MockExamSetup.h"
#include "exam/ui/ExamClockWidget.h"
#include "exam/ui/MLKC.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/ui/ExecForPaper.h"
#include "store/DM.h"

namespace {

// 模拟考场: the setup dialog draws a paper; it goes on display as kind 2 and,
// with a time limit, the clock starts in the paper toolbar. Cancel changes
// nothing.
void ActMLKC(TActionList &commands, AppContext &context) {
  auto *form = new TFrmMLKC(context.dm, context.window);
  if (!form->load()) {
    delete form;
    return;
  }
  int minutes = 0;
  const std::optional<PaperRequest> request = execForPaper(form, [&minutes](TFrmMLKC &f) {
    minutes = f.examMinutes();
    return f.request();
  });
  if (!request)
    return;
  // The time limit chosen is the next exam's default. Not remembering it
  // never holds up the exam.
  try {
    if (ReadExamMinutes(context.dm.ADOConnection1) != minutes)
      StoreExamMinutes(context.dm.ADOConnection1, minutes);
  } catch (const std::exception &e) {
    dialogs().warning(QStringLiteral("考试时间没有保存：") + QString::fromUtf8(e.what()), MockExamText::Caption);
  }
  if (!context.presenter.showPaper(*request))
    return;
  ExamClockWidget::start(minutes, commands.action(QStringLiteral("ActSummitPaper")), context.events,
                         context.paperToolbarSlot);
}

} // namespace

void registerExamCommands(TActionList &commands, AppContext &context) {
  commands.add({QStringLiteral("ActMLKC"), MockExamText::Caption, CommandCategory::MainMenu, {},
                [&commands, &context] { ActMLKC(commands, context); }, CommandPlace::menu(1)});
}
