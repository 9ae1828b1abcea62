#include "common/Dialogs.h"
#include "common/ProgramDir.h"
#include "mainwin/ui/Application.h"
#include "mainwin/ui/Main.h"
#include "mainwin/ui/WidgetDialogs.h"

#include <QFileInfo>
#include <unistd.h>

// The directory of the running program file.
static QString programDirectory(const char *argv0) {
  QFileInfo self(QStringLiteral("/proc/self/exe"));
  const QString exe = self.exists() ? self.canonicalFilePath() : QFileInfo(QString::fromLocal8Bit(argv0)).absoluteFilePath();
  return QFileInfo(exe).absolutePath() + QLatin1Char('/');
}

int main(int argc, char **argv) {
  const ProgramDir dir(programDirectory(argv[0]));

  // Chinese font names of the pages ("宋体", "黑体") resolve through the
  // program's own fontconfig aliases; the web engine's helper processes
  // inherit the setting.
  const QString fonts = dir.resolve(QStringLiteral("fonts/fonts.conf"));
  if (QFileInfo::exists(fonts))
    qputenv("FONTCONFIG_FILE", QFile::encodeName(fonts));
  // Chromium refuses to start its sandbox as root.
  if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QbrxApplication app(argc, argv);
  QGuiApplication::setApplicationName(QStringLiteral("qbrx"));
  app.installChineseTranslations();
  app.useProgramFont();

  WidgetDialogs realDialogs;
  setDialogs(&realDialogs);

  int rc = 1;
  {
    TFrmMain window(dir);
    if (!window.startupFailed()) {
      window.showMaximizedOnceLoading();
      rc = app.exec();
    }
  }
  setDialogs(nullptr);
  return rc;
}
