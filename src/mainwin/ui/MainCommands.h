#pragma once
// The main window's own commands: chapter practice, the paper toolbar, the
// link and help commands.

#include "render/HtmlView.h"

class QWidget;
class TActionList;
class TDataModule1;
class TFrmMain;
struct PaperState;

void registerMainCommands(TActionList &commands, TFrmMain &window);

// The submit command: grades the page on display (`paper`) and, when it was graded,
// shows the result report (TFrmShowTestResult) modally and frees it.
// `parent` centres the report; `reportView` makes its HTML view (default:
// the real web view).
void ActSummitPaper(PaperState &paper, HtmlView &page, TDataModule1 &dm, QWidget *parent = nullptr,
                    const HtmlViewFactory &reportView = {});

class QMenu;
// The help button's menu: backup, restore, contact, site, then the commands
// without a button of their own, the links and full screen.
QMenu *makeHelpMenu(const TActionList &commands, QWidget *parent);
