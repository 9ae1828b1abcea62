#pragma once
// Whether the window system can be reached, asked before the application
// object exists: Qt's platform plugin aborts the process when it finds no
// display, so the program asks first and explains on the terminal.

#include <QString>

// Empty when a window can be shown, else the message for the terminal
// (starts with "需要图形桌面"). `platform` is the -platform argument or
// QT_QPA_PLATFORM (empty: Qt's default, X11); `display` and
// `waylandDisplay` the values of DISPLAY and WAYLAND_DISPLAY, `runtimeDir`
// XDG_RUNTIME_DIR. Platforms that need no desktop (offscreen, minimal,
// vnc...) always pass; a local X display must answer on its socket, a
// remote one on its TCP port.
// `waylandPlugin` tells whether Qt's Wayland platform plugin is installed:
// without it a Wayland desktop is reached through X11 (Xwayland) only.
QString MissingDisplayMessage(const QString &platform, const QString &display, const QString &waylandDisplay,
                              const QString &runtimeDir, bool waylandPlugin);

// The same for this process's environment and the -platform argument.
QString MissingDisplayMessage(const QString &platformArgument);
