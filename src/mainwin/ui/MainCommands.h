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
// The help button's menu: the commands that declared a place in it, group by
// group with a separator between groups (HelpGroup), each group in order.
QMenu *makeHelpMenu(const TActionList &commands, QWidget *parent);

// The window's keys that run no command: F10 opens the help menu under its
// button, F6 moves the focus between the tree and the page, Escape leaves
// full-screen mode.
void installWindowKeys(TFrmMain &window);

// Once the view exists: the "返回试卷" link of the page shown in place of a
// web page that did not load (招考信息) brings the paper and the tree back.
void installLinkPages(TFrmMain &window);
