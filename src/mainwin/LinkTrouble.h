#pragma once
// What the learner is told when a link of the window leads nowhere: an
// address the desktop could not open, or a web page the window could not
// show (then a page of the program's own takes its place, with a way back
// to the paper).

#include <QString>
#include <QStringList>

namespace LinkTrouble {

// The message for an address or a file the desktop could not open; the
// address itself follows it on a line of its own (Dialogs::messageWithAddress).
QString cannotOpenText(const QString &target);

// Why a page did not load, in words for the learner, from the engine's
// error code (QWebEngineLoadingInfo::errorCode, negative network codes) and
// domain (QWebEngineLoadingInfo::ErrorDomain as an integer).
QString loadFailureReason(int errorCode, int errorDomain);

// The page shown in place of a web page that did not load: its title, the
// reason, the address (escaped) and a link "返回试卷" to `backHref`.
QStringList unreachablePage(const QString &title, const QString &address, const QString &reason,
                            const QString &backHref);

} // namespace LinkTrouble
