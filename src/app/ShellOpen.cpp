#include "app/ShellOpen.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>

ShellOpenResult ShellOpen(const QUrl &url, int waitMs, const QString &opener) {
  const QString program = opener.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("xdg-open")) : opener;
  if (program.isEmpty())
    return ShellOpenResult::NoOpener;
  // The status file exists before the shell starts; the shell writes the
  // opener's exit status into it once the opener ends. Address and paths go
  // to the shell as arguments, never as part of its script.
  QTemporaryFile status;
  status.setFileTemplate(QStandardPaths::writableLocation(QStandardPaths::TempLocation) +
                         QStringLiteral("/qbrx-open-XXXXXX"));
  if (!status.open())
    return ShellOpenResult::Failed;
  status.close();
  const QStringList arguments{QStringLiteral("-c"), QStringLiteral("\"$0\" \"$1\" >/dev/null 2>&1; s=$?; [ -e \"$2\" ] && echo $s >\"$2\""),
                              program, url.toString(QUrl::FullyEncoded), status.fileName()};
  if (!QProcess::startDetached(QStringLiteral("/bin/sh"), arguments))
    return ShellOpenResult::Failed;

  QElapsedTimer elapsed;
  elapsed.start();
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(40);
  QString written;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    QFile f(status.fileName());
    if (f.open(QIODevice::ReadOnly))
      written = QString::fromLatin1(f.readAll()).trimmed();
    if (!written.isEmpty() || elapsed.elapsed() >= waitMs)
      loop.quit();
  });
  poll.start();
  loop.exec();
  if (written.isEmpty())
    return ShellOpenResult::Started;
  return written == QLatin1String("0") ? ShellOpenResult::Opened : ShellOpenResult::Failed;
}
