#pragma once
class TActionList;
struct AppContext;

// Error feedback: a page's request for it (AppEvents::errorReportRequested)
// opens the feedback form, one form at a time. The folder has no command of
// its own in the menus.
void registerFeedbackCommands(TActionList &commands, AppContext &context);
