#pragma once
// The program's features, each registering its commands from its own folder
// with where they appear; the window builds its menus and bars from them.

class TActionList;
struct AppContext;

void registerFeatureCommands(TActionList &commands, AppContext &context);
