#include "mainwin/DisplayCheck.h"

#include <QDir>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QStringList>

#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Connects to a Unix socket by path, or in the abstract name space when
// `abstract` (where an X server listens too).
bool unixSocketAnswers(const QByteArray &path, bool abstract) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const int offset = abstract ? 1 : 0;
  if (path.size() + offset >= int(sizeof(addr.sun_path)))
    return false;
  std::memcpy(addr.sun_path + offset, path.constData(), std::size_t(path.size()));
  const socklen_t len = socklen_t(offsetof(sockaddr_un, sun_path) + std::size_t(offset + path.size()) + (abstract ? 0 : 1));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), len) == 0;
  ::close(fd);
  return ok;
}

bool tcpAnswers(const QByteArray &host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *list = nullptr;
  if (::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &list) != 0)
    return false;
  bool ok = false;
  for (addrinfo *a = list; a && !ok; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0)
      continue;
    timeval timeout{3, 0}; // an unreachable host must not hold the start for long
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    ::close(fd);
  }
  ::freeaddrinfo(list);
  return ok;
}

// DISPLAY is [host]:number[.screen]; a host of "" or "unix" is this machine.
bool xDisplayAnswers(const QString &display) {
  static const QRegularExpression form(QStringLiteral("^(.*):(\\d+)(\\.\\d+)?$"));
  const QRegularExpressionMatch m = form.match(display);
  if (!m.hasMatch())
    return false;
  const QString host = m.captured(1);
  const int number = m.captured(2).toInt();
  if (host.isEmpty() || host == QLatin1String("unix")) {
    const QByteArray socket = "/tmp/.X11-unix/X" + QByteArray::number(number);
    return unixSocketAnswers(socket, false) || unixSocketAnswers(socket, true);
  }
  return tcpAnswers(host.toLocal8Bit(), 6000 + number);
}

const QString kWhatToDo = QStringLiteral(
    "请在图形桌面中启动本程序：从应用程序菜单中打开“考试软件”，或在桌面的终端窗口中运行 qbrx。"
    "通过 SSH 登录时请用 ssh -X 转发图形界面。");

} // namespace

QString MissingDisplayMessage(const QString &platform, const QString &display, const QString &waylandDisplay,
                              const QString &runtimeDir, bool waylandPlugin) {
  const QString first = platform.split(QLatin1Char(';')).first().trimmed();
  const bool wantsX = first.isEmpty() || first.startsWith(QLatin1String("xcb"));
  const bool wantsWayland = first.startsWith(QLatin1String("wayland"));
  if (!wantsX && !wantsWayland)
    return {}; // offscreen, minimal, vnc, eglfs, linuxfb: no desktop needed

  if (wantsWayland || (display.isEmpty() && !waylandDisplay.isEmpty())) {
    if (waylandDisplay.isEmpty())
      return QStringLiteral("需要图形桌面：没有 Wayland 显示（WAYLAND_DISPLAY 未设置）。\n") + kWhatToDo;
    const QString socket = waylandDisplay.startsWith(QLatin1Char('/')) ? waylandDisplay
                                                                       : runtimeDir + QLatin1Char('/') + waylandDisplay;
    if (unixSocketAnswers(socket.toLocal8Bit(), false)) {
      if (waylandPlugin)
        return {};
      if (wantsWayland || display.isEmpty())
        return QStringLiteral("需要图形桌面：这是 Wayland 桌面，但没有安装 Qt 的 Wayland 支持，也没有 X11 显示（DISPLAY 未设置）。\n"
                              "请安装 qt6-wayland 软件包，或在 X11 桌面中启动本程序。");
    } else if (wantsWayland || display.isEmpty()) {
      return QStringLiteral("需要图形桌面：无法连接 Wayland 显示 %1。\n").arg(waylandDisplay) + kWhatToDo;
    }
  }
  if (display.isEmpty())
    return QStringLiteral("需要图形桌面：没有找到可用的显示（DISPLAY 与 WAYLAND_DISPLAY 都未设置）。\n") + kWhatToDo;
  if (!xDisplayAnswers(display))
    return QStringLiteral("需要图形桌面：无法连接显示 DISPLAY=%1。\n").arg(display) + kWhatToDo;
  return {};
}

QString MissingDisplayMessage(const QString &platformArgument) {
  const QString platform =
      platformArgument.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM") : platformArgument;
  const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
  const bool waylandPlugin = !platforms.entryList({QStringLiteral("libqwayland*.so")}, QDir::Files).isEmpty();
  return MissingDisplayMessage(platform, qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"),
                               qEnvironmentVariable("XDG_RUNTIME_DIR"), waylandPlugin);
}
