#pragma once
class TActionList;
struct AppContext;

// Registers the commands of this folder's features.
void registerReviewCommands(TActionList &commands, AppContext &context);
