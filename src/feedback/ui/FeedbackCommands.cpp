#include "feedback/ui/FeedbackCommands.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "common/ErrorHandler.h"
#include "feedback/ui/ErrorReport.h"

void registerFeedbackCommands(TActionList &commands, AppContext &context) {
  // The command list lives as long as the window: so does the connection.
  QObject::connect(&context.events, &AppEvents::errorReportRequested, &commands, [&context](int XiaoTiHao) {
    RunCommand([&context, XiaoTiHao] {
      TFrmErrorReport::Open(XiaoTiHao, context.dm, context.programDir, context.window);
    });
  });
}
