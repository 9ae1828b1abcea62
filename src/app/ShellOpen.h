#pragma once
// The desktop's "open" of an address or a file, with its outcome. The
// desktop's opener (xdg-open) is started apart from the program, so a
// browser it starts outlives the program; its exit status comes back
// through a small file. An opener that fails (no browser, no program for
// the file, a file that is not there) is reported as a failure, never taken
// for success.

#include <QString>
#include <QUrl>

enum class ShellOpenResult {
  Opened,     // the opener ended with success
  Started,    // still working after the wait (a browser started in front of it)
  Failed,     // the opener failed or could not be started
  NoOpener,   // no opener on this system
};

// Opens `url` with `opener` (a program taking the address as its one
// argument), waiting at most `waitMs` for it to end while the event loop
// runs. Without `opener`, looks for xdg-open on the PATH.
ShellOpenResult ShellOpen(const QUrl &url, int waitMs = 5000, const QString &opener = {});
