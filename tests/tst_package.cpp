// The Debian package: built with cpack from this build tree, unpacked into a
// temporary root and started from there offscreen by an ordinary user with a
// home of their own; lintian, hardening-check, desktop-file-validate and
// appstreamcli on it; the template's bank; the same bytes from two builds.
// test-links: logic
// ctest-timeout: 900

#include "TestEnv.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <sys/stat.h>

namespace {

struct Result {
  int code = -1;
  QString out;
};

Result run(const QString &program, const QStringList &args, int timeoutMs = 300000,
           const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment()) {
  QProcess p;
  p.setProcessEnvironment(env);
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

// The mode bits of a file (0777 part), -1 when it is missing.
int modeOf(const QString &path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

bool hasTool(const char *name) { return !QStandardPaths::findExecutable(QLatin1String(name)).isEmpty(); }

// Whether this tree was built with dpkg-buildflags' hardening flags.
bool hardenedBuild() {
  return readFile(QStringLiteral(QBRX_BUILD_DIR "/CMakeCache.txt")).contains("QBRX_DEBIAN_BUILDFLAGS:BOOL=ON");
}

// cpack of this tree into `out`; SOURCE_DATE_EPOCH as given (empty: unset,
// the changelog's date then).
Result packInto(const QString &out, const QString &sourceDateEpoch) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("SOURCE_DATE_EPOCH"));
  if (!sourceDateEpoch.isEmpty())
    env.insert(QStringLiteral("SOURCE_DATE_EPOCH"), sourceDateEpoch);
  return run(QStringLiteral("cpack"),
             {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
              QStringLiteral(QBRX_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), out},
             300000, env);
}

QString onlyFile(const QString &dir, const QString &pattern) {
  const QStringList found = QDir(dir).entryList({pattern}, QDir::Files);
  return found.size() == 1 ? dir + QLatin1Char('/') + found.first() : QString();
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
  QString m_deb, m_ddeb, m_root;
  const QString m_lib = QStringLiteral("usr/" QBRX_LIBRARY_DIR "/libunrar.so");

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
    const Result r = packInto(out, QString());
    QVERIFY2(r.code == 0, qPrintable(r.out));
    m_deb = onlyFile(out, QStringLiteral("qbrx_*.deb"));
    m_ddeb = onlyFile(out, QStringLiteral("qbrx-dbgsym_*.ddeb"));
    QVERIFY2(!m_deb.isEmpty() && !m_ddeb.isEmpty(), qPrintable(QDir(out).entryList().join(QLatin1Char(' '))));
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
    QVERIFY2(QFileInfo(m_root + QLatin1Char('/') + m_lib).isFile(), qPrintable(m_lib));
    for (const char *f : {"usr/bin/qbrx", "usr/bin/qbrx-bank",
                          "usr/share/qbrx/template/QBRX.db", "usr/share/qbrx/template/css/Main.css",
                          "usr/share/qbrx/template/images/dot.gif", "usr/share/qbrx/template/fonts/fonts.conf",
                          "usr/share/icons/hicolor/scalable/apps/qbrx.svg", "usr/share/doc/qbrx/copyright",
                          "usr/share/doc/qbrx/changelog.gz", "usr/share/doc/qbrx/README.Debian.gz",
                          "usr/share/man/man1/qbrx-bank.1.gz"})
      QVERIFY2(QFileInfo(m_root + QLatin1Char('/') + QLatin1String(f)).isFile(), f);
    // No ldconfig: the private library folder is not one ldconfig reads.
    QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/usr/lib/qbrx")));
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
    for (const char *package : {"libqt6webenginewidgets6", "libqt6charts6", "libsqlite3-0", "libarchive13"})
      QVERIFY2(d.out.contains(QLatin1String(package)), qPrintable(d.out));
    // libpq5 is loaded only when a report is sent: recommended, not required.
    QVERIFY2(!d.out.contains(QLatin1String("libpq5")), qPrintable(d.out));
    const Result rec = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, QStringLiteral("Recommends")});
    QVERIFY2(rec.out.contains(QLatin1String("libpq5")), qPrintable(rec.out));
    const Result c = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--ctrl-tarfile"), m_deb});
    QVERIFY2(!c.out.contains(QLatin1String("postinst")) && !c.out.contains(QLatin1String("postrm")),
             "no maintainer scripts");
  }

  // The installed template is a clean start: no test record, no favourite,
  // no loopback or placeholder address (the demo bank of the build tree
  // keeps them for the tests).
  void templateBankIsClean() {
    QTemporaryDir tmp;
    QVERIFY(QFile::copy(m_root + QStringLiteral("/usr/share/qbrx/template/QBRX.db"), tmp.path() + QStringLiteral("/QBRX.db")));
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, tmp.path() + QLatin1Char('/')), StartupResult::Opened);
    const auto count = [&](const QString &sql) {
      dm.ADOQuery1.Close();
      dm.ADOQuery1.SQL.Clear();
      dm.ADOQuery1.SQL.Add(sql);
      dm.ADOQuery1.Open();
      return dm.ADOQuery1.Fields(0).AsInteger();
    };
    QVERIFY(count(QStringLiteral("SELECT count(*) FROM 小题")) > 0);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM 测试结果")), 0);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM 测试题目")), 0);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM 小题 WHERE 是否收藏<>0")), 0);
    dm.ADOQuery1.Close();
    dm.ADOQuery1.SQL.Clear();
    dm.ADOQuery1.SQL.Add(QStringLiteral("SELECT 参数名,参数值 FROM 系统参数"));
    dm.ADOQuery1.Open();
    const QRegularExpression bad(QStringLiteral("127\\.|localhost|::1|\\.invalid|example\\."),
                                 QRegularExpression::CaseInsensitiveOption);
    for (dm.ADOQuery1.First(); !dm.ADOQuery1.Eof(); dm.ADOQuery1.Next())
      QVERIFY2(!dm.ADOQuery1.Fields(1).AsString().contains(bad),
               qPrintable(dm.ADOQuery1.Fields(0).AsString() + QLatin1Char('=') + dm.ADOQuery1.Fields(1).AsString()));
  }

  // The tools Debian checks a package with.
  void desktopEntryAndMetainfoValidate() {
    if (!hasTool("desktop-file-validate") || !hasTool("appstreamcli"))
      QSKIP("desktop-file-utils or appstream is not installed (scripts/install-deps.sh --tests installs them)");
    Result r = run(QStringLiteral("desktop-file-validate"), {m_root + QStringLiteral("/usr/share/applications/qbrx.desktop")});
    QVERIFY2(r.code == 0 && r.out.trimmed().isEmpty(), qPrintable(r.out));
    // One component, its file named after its id.
    const QString file = onlyFile(m_root + QStringLiteral("/usr/share/metainfo"), QStringLiteral("*.metainfo.xml"));
    QVERIFY(!file.isEmpty());
    r = run(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), file});
    QVERIFY2(r.code == 0, qPrintable(r.out));
    const QString metainfo = QString::fromUtf8(readFile(file));
    QVERIFY(metainfo.contains(QStringLiteral("<id>%1</id>").arg(QFileInfo(file).fileName().section(QLatin1Char('.'), 0, -3))));
    for (const char *part : {"<launchable type=\"desktop-id\">qbrx.desktop</launchable>", "<name xml:lang=\"zh-CN\">",
                             "<summary xml:lang=\"zh-CN\">", "<content_rating", "<project_license>"})
      QVERIFY2(metainfo.contains(QString::fromUtf8(part)), part);
  }

  // The binaries carry every hardening feature when the tree was built with
  // dpkg-buildflags (the default); their debug information is in the
  // -dbgsym package, linked by build id, and no .comment section is left.
  void hardenedAndStrippedBinaries() {
    const QStringList binaries = {m_root + QStringLiteral("/usr/bin/qbrx"), m_root + QStringLiteral("/usr/bin/qbrx-bank"),
                                  m_root + QLatin1Char('/') + m_lib};
    for (const QString &b : binaries) {
      const Result sections = run(QStringLiteral("readelf"), {QStringLiteral("-S"), QStringLiteral("-W"), b});
      QCOMPARE(sections.code, 0);
      QVERIFY2(!sections.out.contains(QLatin1String(" .comment ")), qPrintable(b));
      QVERIFY2(!sections.out.contains(QLatin1String(" .debug_info ")), qPrintable(b));
      QVERIFY2(sections.out.contains(QLatin1String(" .gnu_debuglink ")), qPrintable(b));
    }
    const Result dbg = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), m_ddeb});
    QCOMPARE(dbg.out.count(QRegularExpression(QStringLiteral("usr/lib/debug/\\.build-id/../[0-9a-f]+\\.debug"))), 3);

    if (!hardenedBuild())
      QSKIP("this tree was configured with -DQBRX_DEBIAN_BUILDFLAGS=OFF");
    if (!hasTool("hardening-check"))
      QSKIP("devscripts is not installed (scripts/install-deps.sh --tests installs it)");
    // Control-flow protection is not asked for: Debian 12's C library start
    // files carry no CET marks, so no binary linked here can have it.
    const Result r = run(QStringLiteral("hardening-check"), QStringList{QStringLiteral("--nocfprotection")} + binaries);
    QVERIFY2(r.code == 0, qPrintable(r.out));
  }

  // Two packagings of one tree are the same bytes: without
  // SOURCE_DATE_EPOCH every file carries the changelog's date, with it
  // that time.
  void reproducibleBytes() {
    const QString again = m_tmp.path() + QStringLiteral("/again");
    Result r = packInto(again, QString());
    QVERIFY2(r.code == 0, qPrintable(r.out));
    QCOMPARE(readFile(onlyFile(again, QStringLiteral("qbrx_*.deb"))), readFile(m_deb));
    QCOMPARE(readFile(onlyFile(again, QStringLiteral("qbrx-dbgsym_*.ddeb"))), readFile(m_ddeb));

    const QString dated = m_tmp.path() + QStringLiteral("/dated");
    r = packInto(dated, QStringLiteral("1700000000")); // 2023-11-14 22:13:20 UTC
    QVERIFY2(r.code == 0, qPrintable(r.out));
    const Result list = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), onlyFile(dated, QStringLiteral("qbrx_*.deb"))});
    const QStringList lines = list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() > 20);
    for (const QString &line : lines)
      QVERIFY2(line.contains(QLatin1String(" 2023-11-14 ")), qPrintable(line));
  }

  // qbrx-bank answers --help on stdout with every command's options, all
  // of which its manual page documents, and --version.
  void bankToolCommandLine() {
    const QString tool = m_root + QStringLiteral("/usr/bin/qbrx-bank");
    QProcess p;
    p.start(tool, {QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(p.readAllStandardError().isEmpty());
    const QString help = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(help.contains(QLatin1String("qbrx-bank import OUT.db")), qPrintable(help));
    const Result man = run(QStringLiteral("gzip"), {QStringLiteral("-dc"), m_root + QStringLiteral("/usr/share/man/man1/qbrx-bank.1.gz")});
    QString manText = man.out;
    manText.remove(QLatin1Char('\\'));
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("--[a-z][a-z-]*")).globalMatch(help);
    int options = 0;
    for (; it.hasNext(); ++options) {
      const QString option = it.next().captured();
      QVERIFY2(manText.contains(option), qPrintable(option));
    }
    QVERIFY(options >= 8);
    p.start(tool, {QStringLiteral("--version")});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("qbrx-bank %1\n").arg(QStringLiteral(QBRX_VERSION)));
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
    // Private: the folders the start made (~/.local, ~/.local/share too)
    // 0700, the bank 0600.
    for (const QString &dir : {home + QStringLiteral("/.local"), home + QStringLiteral("/.local/share"), learner})
      QCOMPARE(modeOf(dir), 0700);
    QCOMPARE(modeOf(learner + QStringLiteral("QBRX.db")), 0600);
    QCOMPARE(modeOf(learner + QStringLiteral("css")), 0700);
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

  // lintian reports no error and no warning, nor the notes a reviewer
  // would raise: hardening, unneeded sections, ldconfig.
  void lintianFindsNoError() {
    if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty())
      QSKIP("lintian is not installed (scripts/install-deps.sh --tests installs it)");
    const Result r = run(QStringLiteral("lintian"), {QStringLiteral("-I"), QStringLiteral("--tag-display-limit"),
                                                     QStringLiteral("0"), m_deb, m_ddeb});
    QStringList found;
    QStringList notes = {QStringLiteral("binary-has-unneeded-section"), QStringLiteral("maintscript-calls-ldconfig")};
    if (hardenedBuild())
      notes << QStringLiteral("hardening-no-");
    for (const QString &line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
      if (line.startsWith(QLatin1String("E:")) || line.startsWith(QLatin1String("W:")))
        found << line;
      else if (line.startsWith(QLatin1String("I:"))) {
        qInfo("%s", qPrintable(line));
        for (const QString &note : notes)
          if (line.contains(note))
            found << line;
      }
    }
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    QVERIFY2(r.code == 0 || r.code == 1, qPrintable(r.out)); // 2: lintian itself failed
  }
};

QBRX_TEST_MAIN(TstPackage)
#include "tst_package.moc"
