#include "common/Dialogs.h"
#include "common/ProgramDir.h"
#include "mainwin/DisplayCheck.h"
#include "mainwin/ProgramLocation.h"
#include "mainwin/ui/Application.h"
#include "mainwin/ui/Main.h"
#include "app/ui/WidgetDialogs.h"
#include "render/ChromiumFlags.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <cstdio>
#include <unistd.h>

// The directory of the running program file.
static QString executableDirectory(const char *argv0) {
  QFileInfo self(QStringLiteral("/proc/self/exe"));
  const QString exe = self.exists() ? self.canonicalFilePath() : QFileInfo(QString::fromLocal8Bit(argv0)).absoluteFilePath();
  return QFileInfo(exe).absolutePath() + QLatin1Char('/');
}

static void printTo(FILE *stream, const QString &text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
  std::fputs("\n", stream);
}

int main(int argc, char **argv) {
  QCoreApplication::setApplicationName(QStringLiteral("qbrx"));
  QCoreApplication::setApplicationVersion(QStringLiteral(QBRX_VERSION));

  // The command line is read before the application object: --help and
  // --version answer without a desktop, and the program directory decides
  // the fonts the application object starts with.
  QStringList arguments;
  for (int i = 0; i < argc; ++i)
    arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("考试软件：练习考试题目、模拟考试、查看测试记录。"));
  // Qt's own options are single-dash words (-platform offscreen).
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption helpOption = parser.addHelpOption();
  const QCommandLineOption versionOption = parser.addVersionOption();
  const QCommandLineOption programDirOption(
      QStringLiteral("program-dir"),
      QStringLiteral("使用这个文件夹作为程序目录（题库 QBRX.db、css/、images/、fonts/ 所在的文件夹）。"
                     "文件夹不存在或为空时，安装版从安装的初始内容建立它。"),
      QStringLiteral("目录"));
  parser.addOption(programDirOption);
  // Options Qt's application object reads itself; accepted and left in argv.
  QCommandLineOption platformOption(QStringLiteral("platform"), QString(), QStringLiteral("name"));
  platformOption.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOption(platformOption);
  for (const char *name : {"display", "style", "qwindowgeometry", "qwindowtitle"}) {
    QCommandLineOption qtOption(QLatin1String(name), QString(), QStringLiteral("value"));
    qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(qtOption);
  }
  if (!parser.parse(arguments)) {
    printTo(stderr, QStringLiteral("qbrx: %1\n运行 qbrx --help 查看用法。").arg(parser.errorText()));
    return 2;
  }
  if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
    // Written here rather than Qt's helpText(), whose headings and own
    // options are English.
    const QStringList help = {
        QStringLiteral("用法：qbrx [选项]"),
        parser.applicationDescription(),
        QString(),
        QStringLiteral("选项："),
        QStringLiteral("  -h, --help              显示这份说明后退出。"),
        QStringLiteral("  -v, --version           显示版本号后退出。"),
        QStringLiteral("  --program-dir <目录>    ") + programDirOption.description(),
        QString(),
        QStringLiteral("不带选项时，安装版使用每位学员自己的文件夹 ~/.local/share/qbrx"
                       "（第一次启动时从安装的初始内容建立，只有本人可以读写）。"),
    };
    printTo(stdout, help.join(QLatin1Char('\n')));
    return 0;
  }
  if (parser.isSet(versionOption)) {
    printTo(stdout, QStringLiteral("qbrx %1").arg(QStringLiteral(QBRX_VERSION)));
    return 0;
  }
  if (!parser.positionalArguments().isEmpty()) {
    printTo(stderr, QStringLiteral("qbrx: 不认识的参数：%1\n运行 qbrx --help 查看用法。")
                        .arg(parser.positionalArguments().join(QLatin1Char(' '))));
    return 2;
  }

  // Without a desktop Qt's platform plugin would abort the process: say so
  // on the terminal instead.
  const QString noDisplay = MissingDisplayMessage(parser.value(platformOption));
  if (!noDisplay.isEmpty()) {
    printTo(stderr, noDisplay);
    return 1;
  }

  const InstallLayout layout = DetectInstallLayout(executableDirectory(argv[0]));
  const ProgramDirChoice choice = ChooseProgramDir(layout, parser.value(programDirOption), LearnerDataDir());
  // The program's libraries come from where it was installed, never from
  // the learner's folder.
  ProgramDir::setLibraryDir(layout.libraryDir);
  const ProgramDir dir(choice.root);

  // Chinese font names of the pages ("宋体", "黑体") resolve through the
  // program's own fontconfig aliases; the web engine's helper processes
  // inherit the setting.
  const QString fonts = dir.resolve(QStringLiteral("fonts/fonts.conf"));
  if (choice.error.isEmpty() && QFileInfo::exists(fonts))
    qputenv("FONTCONFIG_FILE", QFile::encodeName(fonts));
  // Chromium refuses to start its sandbox as root.
  if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

  // The web engine's switches: the pages send nothing off the machine.
  AddProgramChromiumFlags();

  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QbrxApplication app(argc, argv);
  // The menu entry qbrx.desktop: its name and icon go with the window.
  QGuiApplication::setDesktopFileName(QStringLiteral("qbrx"));
  // Every window's icon (_NET_WM_ICON): the installed theme's sizes, or the
  // SVG built into the program.
  Q_INIT_RESOURCE(icons);
  QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("qbrx"), QIcon(QStringLiteral(":/icons/qbrx.svg"))));
  app.installChineseTranslations();
  app.useProgramFont();

  WidgetDialogs realDialogs;
  setDialogs(&realDialogs);

  int rc = 1;
  if (!choice.error.isEmpty()) {
    // On the terminal too: a start from the menu shows the box only.
    printTo(stderr, choice.error);
    dialogs().error(choice.error, QStringLiteral("错误"));
  } else {
    TFrmMain window(dir);
    if (!window.startupFailed()) {
      window.showMaximizedOnceLoading();
      rc = app.exec();
    }
  }
  setDialogs(nullptr);
  return rc;
}
