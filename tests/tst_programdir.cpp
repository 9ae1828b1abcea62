// test-links: widgets
// Where the program directory is and what the learner is told when a start
// cannot go on: the layout beside the program or of an installed program,
// the learner's folder made once from the template, --help and --version,
// no desktop, an unwritable program directory, a missing or damaged bank.
// ctest-timeout: 300

#include "FakeDialogs.h"
#include "TestEnv.h"
#include "mainwin/DisplayCheck.h"
#include "mainwin/ProgramLocation.h"
#include "maintenance/RAR.h"
#include "mainwin/ui/Main.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

namespace {

QString stagedProgram() { return TestEnv::stagedDir() + QStringLiteral("/qbrx"); }

bool writeFile(const QString &path, const QByteArray &bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

int modeOf(const QString &path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QByteArray readFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An installed program below `prefix`: bin/ without a bank, the template
// (read-only, as installed) and the library folder.
void makeInstalledPrefix(const QString &prefix) {
  QDir().mkpath(prefix + QStringLiteral("/bin"));
  QDir().mkpath(prefix + QStringLiteral("/" QBRX_LIBRARY_DIR));
  const QString templ = prefix + QStringLiteral("/share/qbrx/template");
  QDir().mkpath(templ + QStringLiteral("/css"));
  QDir().mkpath(templ + QStringLiteral("/fonts"));
  QFile::copy(TestEnv::stagedDir() + QStringLiteral("/QBRX.db"), templ + QStringLiteral("/QBRX.db"));
  writeFile(templ + QStringLiteral("/css/Main.css"), "body{}\r\n");
  writeFile(templ + QStringLiteral("/fonts/fonts.conf"), "<fontconfig/>\n");
  for (const QString &f : {QStringLiteral("/QBRX.db"), QStringLiteral("/css/Main.css"), QStringLiteral("/fonts/fonts.conf")})
    QFile::setPermissions(templ + f, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
}

// The environment of a child started from a terminal with no desktop.
QProcessEnvironment terminalEnvironment() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(QLatin1String(name));
  return env;
}

struct Run {
  int exitCode = -1;
  QProcess::ExitStatus status = QProcess::CrashExit;
  QString out, err;
};

Run runToEnd(const QStringList &command, const QProcessEnvironment &env) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(command.first(), command.mid(1));
  Run r;
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
  }
  r.exitCode = p.exitCode();
  r.status = p.exitStatus();
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

} // namespace

class TstProgramDir : public QObject {
  Q_OBJECT

private slots:
  // A bank beside the program makes its folder the program directory; an
  // installed program (a template, no bank beside it) loads its libraries
  // from the install and works in the learner's folder.
  void layoutBesideProgramOrInstalled() {
    const InstallLayout staged = DetectInstallLayout(TestEnv::stagedDir());
    QVERIFY(!staged.installed());
    QCOMPARE(staged.libraryDir, QDir(TestEnv::stagedDir()).absolutePath() + QLatin1Char('/'));
    const ProgramDirChoice beside = ChooseProgramDir(staged, QString(), QStringLiteral("/nonexistent/learner"));
    QCOMPARE(beside.mode, ProgramDirMode::BesideProgram);
    QCOMPARE(beside.root, staged.executableDir);
    QVERIFY(beside.error.isEmpty());
    QVERIFY(!beside.seeded);

    QTemporaryDir tmp;
    const QString prefix = tmp.path() + QStringLiteral("/usr");
    makeInstalledPrefix(prefix);
    const InstallLayout installed = DetectInstallLayout(prefix + QStringLiteral("/bin"));
    QVERIFY(installed.installed());
    QCOMPARE(installed.templateDir, prefix + QStringLiteral("/share/qbrx/template/"));
    QCOMPARE(installed.libraryDir, prefix + QStringLiteral("/" QBRX_LIBRARY_DIR "/"));
    // Its libraries come from the install, never from the learner's folder.
    ProgramDir::setLibraryDir(installed.libraryDir);
    QCOMPARE(TRAR(tmp.path() + QStringLiteral("/learner")).DllName(), installed.libraryDir + QStringLiteral("libunrar.so"));
    ProgramDir::setLibraryDir(QString());
    QCOMPARE(TRAR(tmp.path() + QStringLiteral("/learner")).DllName(), tmp.path() + QStringLiteral("/learner/libunrar.so"));
    // A bank put beside an installed program turns it into a program folder.
    QVERIFY(QFile::copy(TestEnv::stagedDir() + QStringLiteral("/QBRX.db"), prefix + QStringLiteral("/bin/QBRX.db")));
    QVERIFY(!DetectInstallLayout(prefix + QStringLiteral("/bin")).installed());
  }

  // The learner's folder is made from the template at the first start
  // (files writable by the learner though the template's are not), and
  // later starts use it as it is: the learner's bank and files stay, a
  // changed template is not copied again.
  void learnerFolderIsMadeOnceAndKept() {
    QTemporaryDir tmp;
    const QString prefix = tmp.path() + QStringLiteral("/usr");
    makeInstalledPrefix(prefix);
    const InstallLayout layout = DetectInstallLayout(prefix + QStringLiteral("/bin"));
    const QString learner = tmp.path() + QStringLiteral("/home/.local/share/qbrx/");

    const ProgramDirChoice first = ChooseProgramDir(layout, QString(), learner);
    QVERIFY2(first.error.isEmpty(), qPrintable(first.error));
    QCOMPARE(first.mode, ProgramDirMode::Learner);
    QCOMPARE(first.root, learner);
    QVERIFY(first.seeded);
    QCOMPARE(readFile(learner + QStringLiteral("QBRX.db")),
             readFile(layout.templateDir + QStringLiteral("QBRX.db")));
    // The learner's own, and only theirs: the folders the start made 0700
    // (~/.local and ~/.local/share as XDG asks), the files 0600, though the
    // template's are read-only for everybody.
    for (const QString &d : {tmp.path() + QStringLiteral("/home/.local"), tmp.path() + QStringLiteral("/home/.local/share"),
                             learner, learner + QStringLiteral("css"), learner + QStringLiteral("fonts")})
      QCOMPARE(modeOf(d), 0700);
    for (const QString &f : {QStringLiteral("QBRX.db"), QStringLiteral("css/Main.css"), QStringLiteral("fonts/fonts.conf")})
      QCOMPARE(modeOf(learner + f), 0600);
    // Nothing half-made is left beside the folder.
    QCOMPARE(QDir(tmp.path() + QStringLiteral("/home/.local/share")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("qbrx")});

    QVERIFY(writeFile(learner + QStringLiteral("QBRX.db"), "the learner's records"));
    QVERIFY(writeFile(learner + QStringLiteral("backup/QBRX-1.db"), "a backup"));
    QFile::setPermissions(layout.templateDir + QStringLiteral("css/Main.css"), QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(writeFile(layout.templateDir + QStringLiteral("css/Main.css"), "a newer template"));
    const ProgramDirChoice second = ChooseProgramDir(layout, QString(), learner);
    QVERIFY(second.error.isEmpty());
    QVERIFY(!second.seeded);
    // A folder an earlier version left open to others becomes private.
    QFile::setPermissions(learner, QFile::permissions(learner) | QFile::ReadOther | QFile::ExeOther);
    QVERIFY(ChooseProgramDir(layout, QString(), learner).error.isEmpty());
    QCOMPARE(modeOf(learner), 0700);
    QCOMPARE(readFile(learner + QStringLiteral("QBRX.db")), QByteArray("the learner's records"));
    QCOMPARE(readFile(learner + QStringLiteral("css/Main.css")), QByteArray("body{}\r\n"));
    QVERIFY(QFileInfo::exists(learner + QStringLiteral("backup/QBRX-1.db")));

    // Two first starts at once: the one that renames second finds the
    // other's folder in place, keeps it and leaves nothing of its own.
    QString failed;
    QVERIFY(SeedFromTemplate(layout.templateDir, learner, &failed));
    QCOMPARE(readFile(learner + QStringLiteral("QBRX.db")), QByteArray("the learner's records"));
    QCOMPARE(QDir(tmp.path() + QStringLiteral("/home/.local/share")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("qbrx")});
  }

  // --program-dir: a new or empty folder is made from the template of an
  // installed program; one that holds files is used as it is; the rest is
  // refused with the folder named.
  void chosenFolders() {
    QTemporaryDir tmp;
    const QString prefix = tmp.path() + QStringLiteral("/usr");
    makeInstalledPrefix(prefix);
    const InstallLayout installed = DetectInstallLayout(prefix + QStringLiteral("/bin"));
    const InstallLayout staged = DetectInstallLayout(TestEnv::stagedDir());

    const QString fresh = tmp.path() + QStringLiteral("/fresh");
    ProgramDirChoice c = ChooseProgramDir(installed, fresh, QString());
    QVERIFY2(c.error.isEmpty(), qPrintable(c.error));
    QCOMPARE(c.mode, ProgramDirMode::Chosen);
    QVERIFY(c.seeded);
    QVERIFY(QFileInfo::exists(fresh + QStringLiteral("/QBRX.db")));

    const QString empty = tmp.path() + QStringLiteral("/empty");
    QDir().mkpath(empty);
    c = ChooseProgramDir(installed, empty, QString());
    QVERIFY(c.seeded && QFileInfo::exists(empty + QStringLiteral("/css/Main.css")));

    const QString own = tmp.path() + QStringLiteral("/own");
    QVERIFY(writeFile(own + QStringLiteral("/notes.txt"), "x"));
    c = ChooseProgramDir(installed, own, QString());
    QVERIFY(c.error.isEmpty() && !c.seeded);
    QVERIFY(!QFileInfo::exists(own + QStringLiteral("/QBRX.db"))); // the start then says the bank is missing

    struct Refused {
      InstallLayout layout;
      QString chosen, learner, expected;
    };
    QVERIFY(writeFile(tmp.path() + QStringLiteral("/afile"), "x"));
    QVERIFY(writeFile(tmp.path() + QStringLiteral("/home2/.local"), "a file where a folder belongs"));
    const QList<Refused> refused = {
        {staged, tmp.path() + QStringLiteral("/missing"), QString(),
         QStringLiteral("指定的程序目录不存在，无法启动：%1/missing").arg(tmp.path())},
        {installed, tmp.path() + QStringLiteral("/afile"), QString(),
         QStringLiteral("程序目录不是文件夹，无法启动：%1/afile").arg(tmp.path())},
        {installed, QString(), tmp.path() + QStringLiteral("/home2/.local/share/qbrx/"),
         QStringLiteral("无法建立学员的程序目录：%1/home2/.local/share/qbrx").arg(tmp.path())},
    };
    for (const Refused &r : refused) {
      c = ChooseProgramDir(r.layout, r.chosen, r.learner);
      QVERIFY2(c.error.startsWith(r.expected), qPrintable(c.error));
    }
  }

  // --help and --version answer on the terminal without a desktop; an
  // unknown option is refused with a pointer to --help.
  void commandLineWithoutDesktop() {
    Run r = runToEnd({stagedProgram(), QStringLiteral("--help")}, terminalEnvironment());
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains(QStringLiteral("--program-dir <目录>")), qPrintable(r.out));
    QVERIFY2(r.out.startsWith(QStringLiteral("用法：qbrx [选项]\n")), qPrintable(r.out));
    // Chinese throughout: none of Qt's English headings or option texts.
    for (const char *english : {"Usage", "Options", "Displays", "help on", "version information"})
      QVERIFY2(!r.out.contains(QLatin1String(english), Qt::CaseInsensitive), english);
    r = runToEnd({stagedProgram(), QStringLiteral("--version")}, terminalEnvironment());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QStringLiteral("qbrx %1\n").arg(QStringLiteral(QBRX_VERSION)));
    r = runToEnd({stagedProgram(), QStringLiteral("--no-such-option")}, terminalEnvironment());
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.err.contains(QStringLiteral("qbrx --help")));
  }

  // No desktop, or one that does not answer: the terminal says so and what
  // to do, and the program ends normally (Qt's platform plugin would abort).
  void noDesktop_data() {
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing set") << QString() << QStringLiteral("DISPLAY 与 WAYLAND_DISPLAY 都未设置");
    int unused = 87;
    while (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(unused)))
      ++unused;
    QTest::newRow("no X server there") << QStringLiteral(":%1").arg(unused)
                                       << QStringLiteral("无法连接显示 DISPLAY=:%1").arg(unused);
  }
  void noDesktop() {
    QFETCH(QString, display);
    QFETCH(QString, expected);
    QProcessEnvironment env = terminalEnvironment();
    if (!display.isEmpty())
      env.insert(QStringLiteral("DISPLAY"), display);
    const Run r = runToEnd({stagedProgram()}, env);
    QCOMPARE(r.status, QProcess::NormalExit);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("需要图形桌面")), qPrintable(r.err));
    QVERIFY2(r.err.contains(expected), qPrintable(r.err));
    QVERIFY(r.err.contains(QStringLiteral("应用程序菜单中打开“考试软件”")));
  }

  // Which desktops the check lets through, with a Wayland socket that
  // answers (a local server here) and one that does not.
  void displayCheck_data() {
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<bool>("plugin");
    QTest::addColumn<QString>("expected"); // empty: passes
    int unused = 87;
    while (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(unused)))
      ++unused;
    const QString deadX = QStringLiteral(":%1").arg(unused);
    QTest::newRow("offscreen") << "offscreen" << "" << "" << false << "";
    QTest::newRow("a list, first minimal") << "minimal;xcb" << "" << "" << false << "";
    QTest::newRow("nothing") << "" << "" << "" << true << "DISPLAY 与 WAYLAND_DISPLAY 都未设置";
    QTest::newRow("wayland answers") << "" << "" << "live" << true << "";
    QTest::newRow("wayland answers, no plugin") << "" << "" << "live" << false << "qt6-wayland";
    QTest::newRow("wayland asked, no answer") << "wayland" << "" << "dead" << true << "无法连接 Wayland 显示 dead";
    QTest::newRow("wayland silent, X silent") << "" << deadX << "dead" << true
                                              << QStringLiteral("无法连接显示 DISPLAY=%1").arg(deadX);
  }
  void displayCheck() {
    QFETCH(QString, platform);
    QFETCH(QString, display);
    QFETCH(QString, wayland);
    QFETCH(bool, plugin);
    QFETCH(QString, expected);
    QTemporaryDir runtime;
    QLocalServer server;
    QVERIFY(server.listen(runtime.path() + QStringLiteral("/live")));
    const QString text = MissingDisplayMessage(platform, display, wayland, runtime.path(), plugin);
    if (expected.isEmpty()) {
      QVERIFY2(text.isEmpty(), qPrintable(text));
    } else {
      QVERIFY2(text.startsWith(QStringLiteral("需要图形桌面")) && text.contains(expected), qPrintable(text));
    }
  }

  // A program directory the learner cannot write: the folder is named, in
  // Chinese, on the terminal and in a box; a program folder's message tells
  // that the program can be installed with a folder per learner.
  void unwritableProgramDirectory_data() {
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<QString>("hint");
    QTest::newRow("the program's own folder") << false << QStringLiteral("Debian 软件包 qbrx");
    QTest::newRow("--program-dir") << true << QStringLiteral("--program-dir 指定一个可写的文件夹");
  }
  void unwritableProgramDirectory() {
    QFETCH(bool, chosen);
    QFETCH(QString, hint);
    // A copy of the program in a temporary folder, which an ordinary user
    // can reach wherever the build tree is.
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString prog = tmp.path() + QStringLiteral("/prog");
    const QString home = tmp.path() + QStringLiteral("/home");
    QDir().mkpath(prog);
    QDir().mkpath(home);
    QVERIFY(QFile::copy(stagedProgram(), prog + QStringLiteral("/qbrx")));
    const QString dir = chosen ? tmp.path() + QStringLiteral("/chosen") : prog;
    QDir().mkpath(dir);
    QVERIFY(QFile::copy(TestEnv::stagedDir() + QStringLiteral("/QBRX.db"), dir + QStringLiteral("/QBRX.db")));
    TestEnv::handToOrdinaryUser(home);
    QFile::setPermissions(tmp.path(), QFile::permissions(tmp.path()) | QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(prog, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("FONTCONFIG_FILE"));
    QStringList args;
    if (chosen)
      args << QStringLiteral("--program-dir") << dir;
    const QStringList command = TestEnv::ordinaryUser(prog + QStringLiteral("/qbrx"), args);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(command.first(), command.mid(1));
    // The terminal gets the text at once; the box then waits for the
    // learner, so the child is ended once the text is there.
    QString err;
    const QString expected = QStringLiteral("程序目录不可写，无法启动：%1").arg(dir);
    QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromUtf8(p.readAllStandardError())).contains(hint) ||
                                 p.state() == QProcess::NotRunning,
                             60000);
    p.kill();
    p.waitForFinished();
    err += QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(expected), qPrintable(err));
    QVERIFY2(err.contains(hint), qPrintable(err));
    QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/QBRX.lock")));
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(prog, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  // A missing or damaged bank: the learner reads which file, why, and the
  // backups of the program's backup folder (newest first), or that there
  // are none; a damaged file is left as it was.
  void bankMissingOrDamaged_data() {
    QTest::addColumn<QByteArray>("bank"); // empty: no file
    QTest::addColumn<int>("backups");
    QTest::addColumn<QString>("why");
    QTest::newRow("missing, no backups") << QByteArray() << 0 << QStringLiteral("找不到这个文件。");
    QTest::newRow("damaged, two backups") << QByteArray(8192, 'x') << 2
                                          << QStringLiteral("这个文件不是本软件的题库（可能已损坏）。");
  }
  void bankMissingOrDamaged() {
    QFETCH(QByteArray, bank);
    QFETCH(int, backups);
    QFETCH(QString, why);
    TestEnv::ProgramDirFixture dir;
    const QString bankPath = dir.path(QStringLiteral("QBRX.db"));
    QVERIFY(QFile::remove(bankPath));
    if (!bank.isEmpty())
      QVERIFY(writeFile(bankPath, bank));
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < backups; ++i) {
      const QString b = dir.path(QStringLiteral("backup/QBRX-%1.db").arg(i));
      QVERIFY(writeFile(b, "backup"));
      QFile f(b);
      QVERIFY(f.open(QIODevice::ReadWrite));
      QVERIFY(f.setFileTime(now.addDays(-10 + i), QFileDevice::FileModificationTime));
    }

    FakeDialogs fake;
    TFrmMain window{ProgramDir(dir.root())};
    QVERIFY(window.startupFailed());
    QCOMPARE(fake.shown.size(), 1);
    const QString text = fake.shown[0].text;
    QCOMPARE(fake.shown[0].caption, QStringLiteral("错误"));
    QCOMPARE(fake.shown[0].icon, Dialogs::Icon::Error);
    QVERIFY2(text.startsWith(QStringLiteral("打开数据库出现严重的错误，程序将中止！\n\n题库文件：%1\n%2").arg(bankPath, why)),
             qPrintable(text));
    if (backups == 0) {
      QVERIFY(text.contains(QStringLiteral("backup 文件夹中没有备份")));
    } else {
      const qsizetype newer = text.indexOf(QStringLiteral("QBRX-1.db"));
      const qsizetype older = text.indexOf(QStringLiteral("QBRX-0.db"));
      QVERIFY2(newer > 0 && older > newer, qPrintable(text));
      QVERIFY(text.contains(now.addDays(-9).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
      QVERIFY(text.contains(QStringLiteral("先把现在的 QBRX.db 改名保留")));
    }
    if (!bank.isEmpty())
      QCOMPARE(readFile(bankPath), bank);
  }
};

QBRX_TEST_MAIN(TstProgramDir)
#include "tst_programdir.moc"
