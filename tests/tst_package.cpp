// The Debian package: built with cpack from this build tree, unpacked into a
// temporary root and started from there offscreen by an ordinary user with a
// home of their own; lintian on it.
// test-links: logic
// ctest-timeout: 900

#include "TestEnv.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

struct Result {
  int code = -1;
  QString out;
};

Result run(const QString &program, const QStringList &args, int timeoutMs = 300000) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.setWorkingDirectory(QStringLiteral(QBRX_BUILD_DIR));
  p.start(program, args);
  Result r;
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
  }
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAll());
  return r;
}

QByteArray readFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Takes the write bits off the whole tree, or gives the owner's back.
void setTreeReadOnly(const QString &root, bool readOnly = true) {
  QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  QStringList all{root};
  while (it.hasNext())
    all << it.next();
  const QFile::Permissions write = QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther;
  for (const QString &p : all)
    if (!QFileInfo(p).isSymLink())
      QFile::setPermissions(p, readOnly ? QFile::permissions(p) & ~write
                                        : QFile::permissions(p) | QFile::WriteOwner | QFile::WriteUser);
}

int testRecords(const QString &dir, const QString &name) {
  TDataModule1 dm;
  if (OpenBankAtStartup(dm, dir) != StartupResult::Opened)
    return -1;
  dm.ADOQuery1.SQL.Add(QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 测试名称='%1'").arg(name));
  dm.ADOQuery1.Open();
  return dm.ADOQuery1.Fields(0).AsInteger();
}

} // namespace

class TstPackage : public QObject {
  Q_OBJECT
  QTemporaryDir m_tmp;
  QString m_deb, m_root;

  // Starts the unpacked program as an ordinary user with `home`, waits until
  // it has written the start page into its program directory, and ends it.
  void startOnce(const QString &home, const QString &learner) {
    QFile::remove(learner + QStringLiteral("css/Question.html"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_DATA_HOME", "FONTCONFIG_FILE", "DISPLAY", "WAYLAND_DISPLAY"})
      env.remove(QLatin1String(name));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--no-sandbox --disable-gpu"));
    const QStringList command = TestEnv::ordinaryUser(m_root + QStringLiteral("/usr/bin/qbrx"), {});
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(command.first(), command.mid(1));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(learner + QStringLiteral("css/Question.html")) ||
                                 p.state() == QProcess::NotRunning,
                             120000);
    const bool ran = p.state() == QProcess::Running;
    p.terminate();
    if (!p.waitForFinished(15000)) {
      p.kill();
      p.waitForFinished();
    }
    QVERIFY2(ran, qPrintable(QStringLiteral("exit %1 (%2): %3")
                                 .arg(p.exitCode())
                                 .arg(p.exitStatus() == QProcess::CrashExit ? QStringLiteral("crash") : QStringLiteral("normal"))
                                 .arg(QString::fromUtf8(p.readAll()))));
  }

private slots:
  void initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("dpkg-shlibdeps")).isEmpty())
      QSKIP("dpkg-dev is not installed (scripts/install-deps.sh --tests installs it)");
    QVERIFY(m_tmp.isValid());
    const QString out = m_tmp.path() + QStringLiteral("/out");
    const Result r = run(QStringLiteral("cpack"), {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                                                   QStringLiteral(QBRX_BUILD_DIR "/CPackConfig.cmake"),
                                                   QStringLiteral("-B"), out});
    QVERIFY2(r.code == 0, qPrintable(r.out));
    const QStringList debs = QDir(out).entryList({QStringLiteral("qbrx_*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    m_deb = out + QLatin1Char('/') + debs.first();
    m_root = m_tmp.path() + QStringLiteral("/root");
    const Result x = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_root});
    QVERIFY2(x.code == 0, qPrintable(x.out));
    // Others may walk to the tree; nobody may write in it.
    QFile::setPermissions(m_tmp.path(), QFile::permissions(m_tmp.path()) | QFile::ReadOther | QFile::ExeOther);
    setTreeReadOnly(m_root);
  }

  // What the package installs, and dependencies derived from the libraries
  // plus libpq, which the program opens only when it sends an error report.
  void contentsAndDependencies() {
    for (const char *f : {"usr/bin/qbrx", "usr/bin/qbrx-bank", "usr/lib/qbrx/libunrar.so",
                          "usr/share/qbrx/template/QBRX.db", "usr/share/qbrx/template/css/Main.css",
                          "usr/share/qbrx/template/images/dot.gif", "usr/share/qbrx/template/fonts/fonts.conf",
                          "usr/share/icons/hicolor/scalable/apps/qbrx.svg", "usr/share/doc/qbrx/copyright"})
      QVERIFY2(QFileInfo(m_root + QLatin1Char('/') + QLatin1String(f)).isFile(), f);
    // Only what the program ships: no generated page, no learner's lock.
    QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/usr/share/qbrx/template/css/Question.html")));
    QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/usr/share/qbrx/template/QBRX.lock")));
    if (QStandardPaths::findExecutable(QStringLiteral("qbrx-icon"), {QStringLiteral(QBRX_BUILD_DIR "/packaging")})
            .isEmpty() == false)
      for (int size : {16, 32, 48, 256})
        QVERIFY(QFileInfo::exists(m_root + QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/qbrx.png").arg(size)));

    const QString desktop = QString::fromUtf8(readFile(m_root + QStringLiteral("/usr/share/applications/qbrx.desktop")));
    for (const char *line : {"Name=考试软件", "Exec=qbrx", "Icon=qbrx", "Categories=Education;", "Comment=", "Comment[zh_CN]="})
      QVERIFY2(desktop.contains(QLatin1Char('\n') + QString::fromUtf8(line)), line);

    const Result d = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, QStringLiteral("Depends")});
    QCOMPARE(d.code, 0);
    for (const char *package : {"libpq5", "libqt6webenginewidgets6", "libqt6charts6", "libsqlite3-0", "libarchive13"})
      QVERIFY2(d.out.contains(QLatin1String(package)), qPrintable(d.out));
  }

  // The first start of an ordinary user makes their folder from the
  // template, opens the bank and writes the start page; the second start
  // finds the learner's records and files as they were.
  void learnerFolderOfAnInstalledProgram() {
    QTemporaryDir tmp;
    const QString home = tmp.path() + QStringLiteral("/home");
    QDir().mkpath(home + QStringLiteral("/run"));
    QFile::setPermissions(home + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(tmp.path(), QFile::permissions(tmp.path()) | QFile::ReadOther | QFile::ExeOther);
    TestEnv::handToOrdinaryUser(home);
    const QString learner = home + QStringLiteral("/.local/share/qbrx/");
    const QByteArray templateBank = readFile(m_root + QStringLiteral("/usr/share/qbrx/template/QBRX.db"));

    startOnce(home, learner);
    if (QTest::currentTestFailed())
      return;
    QVERIFY(QFileInfo(learner + QStringLiteral("QBRX.db")).isFile());
    QVERIFY(QFileInfo(learner + QStringLiteral("css/Main.css")).isFile());
    QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/usr/bin/QBRX.lock")));

    // The learner's history: a test record in the bank and a backup.
    {
      TDataModule1 dm;
      QCOMPARE(OpenBankAtStartup(dm, learner), StartupResult::Opened);
      dm.ADOQuery1.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称) VALUES('学员的记录')"));
      dm.ADOQuery1.ExecSQL();
    }
    QDir().mkpath(learner + QStringLiteral("backup"));
    QFile::copy(learner + QStringLiteral("QBRX.db"), learner + QStringLiteral("backup/QBRX-1.db"));
    TestEnv::handToOrdinaryUser(home);

    startOnce(home, learner);
    if (QTest::currentTestFailed())
      return;
    QCOMPARE(testRecords(learner, QStringLiteral("学员的记录")), 1);
    QVERIFY(QFileInfo::exists(learner + QStringLiteral("backup/QBRX-1.db")));
    QCOMPARE(readFile(m_root + QStringLiteral("/usr/share/qbrx/template/QBRX.db")), templateBank);
  }

  // The temporary folder can be removed again.
  void cleanupTestCase() {
    if (!m_root.isEmpty())
      setTreeReadOnly(m_root, false);
  }

  // lintian reports no error; its warnings are shown in the log.
  void lintianFindsNoError() {
    if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty())
      QSKIP("lintian is not installed (scripts/install-deps.sh --tests installs it)");
    const Result r = run(QStringLiteral("lintian"), {QStringLiteral("--no-tag-display-limit"), m_deb});
    QStringList errors;
    for (const QString &line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
      if (line.startsWith(QLatin1String("E:")))
        errors << line;
      else if (line.startsWith(QLatin1String("W:")))
        qInfo("%s", qPrintable(line));
    }
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
    QVERIFY2(r.code == 0 || r.code == 1, qPrintable(r.out)); // 2: lintian itself failed
  }
};

QBRX_TEST_MAIN(TstPackage)
#include "tst_package.moc"
