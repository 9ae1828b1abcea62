#include "mainwin/ui/FeatureCommands.h"
#include "collections/ui/CollectionsCommands.h"
#include "exam/ui/ExamCommands.h"
#include "feedback/ui/FeedbackCommands.h"
#include "maintenance/ui/MaintenanceCommands.h"
#include "review/ui/ReviewCommands.h"
#include "settings/ui/SettingsCommands.h"

void registerFeatureCommands(TActionList &commands, AppContext &context) {
  registerExamCommands(commands, context);
  registerReviewCommands(commands, context);
  registerCollectionsCommands(commands, context);
  registerSettingsCommands(commands, context);
  registerMaintenanceCommands(commands, context);
  registerFeedbackCommands(commands, context);
}
