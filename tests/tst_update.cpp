// test-links: logic
// ctest-timeout: 300
// The online update against a server of its own on loopback, with real RAR
// archives and real banks: the version rule, the journey that keeps the
// learner's history, every failure leaving the old bank in use, hostile
// archives refused, limits of size, speed and time, a full disk, the
// learner stopping it at each step, and a kill at each step of the swap.

#include "BankFixture.h"
#include "FakeDialogs.h"
#include "HttpTestServer.h"
#include "UpdateFixture.h"
#include "maintenance/BackupRestore.h"
#include "maintenance/Update.h"
#include "maintenance/UpdateArchive.h"
#include "maintenance/UpdateJob.h"
#include "maintenance/UpdateSwap.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperState.h"
#include "store/EncryptionMDB.h"
#include "store/FavouritesRepository.h"
#include "store/PendingRestore.h"
#include "store/SystemParameters.h"
#include "TestEnv.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <sys/mount.h>

namespace {

QByteArray readFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

bool maskedOnDisk(const QString &bank) {
  return readFile(bank).mid(66, 40) == QByteArray(reinterpret_cast<const char *>(kMaskingBlock.data()), 40);
}

QString text(TDataModule1 &dm, const QString &sql) {
  TADOQuery q(dm.ADOConnection1, QStringLiteral("read"));
  q.SQL.Add(sql);
  q.Open();
  return q.IsEmpty() ? QString() : q.Fields(0).AsString();
}

// The bank being updated, its context and a job on it.
struct Run {
  OpenedBank bank;
  RecordingPresenter presenter;
  PaperState paper;
  AppEvents events;
  AppContext context{bank.dm, ProgramDir(bank.dir.root()), {}, presenter, paper, events, nullptr};
  FakeDialogs dialogs;
  HttpTestServer server;
  QStringList lines;
  std::unique_ptr<UpdateJob> job;

  Run() {
    UpdateFixture::prepareLearner(bank);
    LoadSystemParameters(bank.dm);
    writeFile(bank.dir.path(QStringLiteral("css/im/PIC1.gif")), "GIF89a-old-1");
    dialogs.defaultAnswer = true;
  }
  // A job on the bank, its lines recorded: a transfer with no byte for
  // `stallMs` has stalled (a window that short asks for bytes, not a rate).
  UpdateJob &newJob(int stallMs = 300) {
    job = std::make_unique<UpdateJob>(context);
    job->baseUrl = server.url(QStringLiteral("/update/"));
    job->limits.stallWindowMs = stallMs;
    job->limits.stallMinBytes = 1;
    QObject::connect(job.get(), &UpdateJob::line, [this](const QString &l) { lines << l; });
    return *job;
  }
  // Runs the job (a new one unless made) to its end; true when it ended
  // within the time.
  bool update(int stallMs = 300) {
    if (!job)
      newJob(stallMs);
    QSignalSpy ended(job.get(), &UpdateJob::ended);
    job->start();
    return ended.wait(60000);
  }
  QString version() { return text(bank.dm, QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名='题库版本'")); }
  QByteArray bankBytes() { return readFile(bank.dir.path(QStringLiteral("QBRX.db"))); }
};

// After a run that failed or was stopped: the old bank byte for byte,
// open, with its pictures; no outline, no staging folder, no backup.
void oldVersionKept(Run &run, const QByteArray &bankBefore) {
  const QString root = run.bank.dir.root();
  QVERIFY(!run.job->updated());
  QVERIFY(!run.lines.contains(UpdateText::Done));
  QVERIFY(run.bankBytes() == bankBefore);
  QCOMPARE(run.version(), QStringLiteral("2026.01"));
  QCOMPARE(readFile(root + QStringLiteral("css/im/PIC1.gif")), QByteArray("GIF89a-old-1"));
  QVERIFY(!QFile::exists(root + QStringLiteral("css/KSDG/index.html")));
  QVERIFY(!QFileInfo::exists(UpdateStagingPath(root)));
  QVERIFY(ListBackups(ProgramDir(root)).empty());
}

// A tmpfs of its own, to be filled: the program directories made while it
// is `current()` live on it. Needs root (CI runs the tests as root).
class SmallDisk {
public:
  SmallDisk() {
    m_mounted = ::mount("tmpfs", QFile::encodeName(m_point.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                        "size=256m,mode=0700") == 0;
    if (!m_mounted)
      m_error = QString::fromLocal8Bit(std::strerror(errno));
  }
  ~SmallDisk() {
    if (m_mounted)
      ::umount2(QFile::encodeName(m_point.path()).constData(), MNT_DETACH);
  }
  bool mounted() const { return m_mounted; }
  QString error() const { return m_error; }
  QString path() const { return m_point.path(); }
  // Temporary folders (QTemporaryDir) are made on this disk meanwhile.
  struct Current {
    QByteArray old = qgetenv("TMPDIR");
    explicit Current(const SmallDisk &d) { qputenv("TMPDIR", QFile::encodeName(d.path())); }
    ~Current() {
      if (old.isNull())
        qunsetenv("TMPDIR");
      else
        qputenv("TMPDIR", old);
    }
  };
  // Shrinks the disk to what it holds now plus `free` bytes.
  bool leaveFree(qint64 free) {
    const QStorageInfo now(path());
    const qint64 used = now.bytesTotal() - now.bytesFree();
    const QByteArray size = "size=" + QByteArray::number((used + free + 4095) / 4096 * 4096);
    return ::mount("tmpfs", QFile::encodeName(path()).constData(), "tmpfs", MS_REMOUNT | MS_NOSUID | MS_NODEV,
                   size.constData()) == 0;
  }

private:
  QTemporaryDir m_point;
  bool m_mounted = false;
  QString m_error;
};

const QStringList kJourney{UpdateText::Analysing,    UpdateText::Offered,        UpdateText::Downloading,
                           UpdateText::UnpackBank,   UpdateText::BankUnpacked,   UpdateText::UnpackPictures,
                           UpdateText::PicturesUnpacked, UpdateText::UnpackOutline, UpdateText::OutlineUnpacked,
                           UpdateText::Finishing,    UpdateText::Done};

} // namespace

class TstUpdate : public QObject {
  Q_OBJECT

private slots:
  void versionRule_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("read");
    QTest::addColumn<bool>("newer");
    QTest::newRow("2011.09 -> 2011.10") << QByteArray("2011.10") << "2011.09" << "2011.10" << true;
    QTest::newRow("2011.10 -> 2011.9: by characters") << QByteArray("2011.9") << "2011.10" << "2011.9" << true;
    QTest::newRow("equal") << QByteArray("2026.01\r\n") << "2026.01" << "2026.01" << false;
    QTest::newRow("older") << QByteArray("2025.12") << "2026.01" << "2025.12" << false;
    QTest::newRow("trailing blank counts") << QByteArray("2026.01 \nx") << "2026.01" << "2026.01 " << true;
    QTest::newRow("BOM, CR LF, second line") << QByteArray("\xEF\xBB\xBF" "2026.02\r\n2099.99\r\n") << "2026.01"
                                            << "2026.02" << true;
    QTest::newRow("prefix is older") << QByteArray("2026") << "2026.01" << "2026" << false;
  }
  void versionRule() {
    QFETCH(QByteArray, file);
    QFETCH(QString, stored);
    QFETCH(QString, read);
    QFETCH(bool, newer);
    QString error;
    QCOMPARE(ReadVersionText(file, &error), read);
    QVERIFY(error.isEmpty());
    QCOMPARE(IsNewerVersion(read, stored), newer);
  }

  void versionFileThatIsAPage() {
    for (const QByteArray &page : {QByteArray("<!DOCTYPE html>\n<html>404</html>"), QByteArray("  <html><body>x"),
                                  QByteArray("9999\0", 5)}) {
      QString error;
      QCOMPARE(ReadVersionText(page, &error), QString());
      QVERIFY(!error.isEmpty());
    }
  }

  void entriesTakenAndRefused_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<quint32>("attr");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("taken");
    const int bank = int(UpdateArchiveKind::Bank), pics = int(UpdateArchiveKind::Pictures),
              outline = int(UpdateArchiveKind::Outline);
    QTest::newRow("QBRX.db") << bank << "QBRX.db" << false << 0x20u << "Windows" << true;
    QTest::newRow("qbrx.db any case") << bank << "qbrx.DB" << false << 0x20u << "Windows" << true;
    QTest::newRow("bank: libunrar.so") << bank << "libunrar.so" << false << 0x20u << "Windows" << false;
    QTest::newRow("bank: the program") << bank << "qbrx" << false << 0x81edu << "Unix" << false;
    QTest::newRow("bank: fonts/") << bank << "fonts/a.ttf" << false << 0x20u << "Windows" << false;
    QTest::newRow("bank: a folder") << bank << "css" << true << 0x10u << "Windows" << false;
    QTest::newRow("bank: db in a folder") << bank << "x/QBRX.db" << false << 0x20u << "Windows" << false;
    QTest::newRow("picture") << pics << "a.GIF" << false << 0x20u << "Windows" << true;
    QTest::newRow("picture in a folder") << pics << "sub/b.png" << false << 0x20u << "Windows" << true;
    QTest::newRow("a folder of pictures") << pics << "sub" << true << 0x10u << "Windows" << true;
    QTest::newRow("outline page") << outline << "index.html" << false << 0x20u << "Windows" << true;
    QTest::newRow("outline pdf, text, css") << outline << "a/b.pdf" << false << 0x81a4u << "Unix" << true;
    QTest::newRow("script") << outline << "x.js" << false << 0x20u << "Windows" << false;
    QTest::newRow("library") << pics << "libunrar.so" << false << 0x20u << "Windows" << false;
    QTest::newRow("executable") << pics << "setup.exe" << false << 0x20u << "Windows" << false;
    QTest::newRow("dot dot") << pics << "../x.gif" << false << 0x20u << "Windows" << false;
    QTest::newRow("inner dot dot") << pics << "a/../../x.gif" << false << 0x20u << "Windows" << false;
    QTest::newRow("absolute") << pics << "/tmp/x.gif" << false << 0x20u << "Windows" << false;
    QTest::newRow("unix link") << pics << "a.gif" << false << 0xa1ffu << "Unix" << false;
    QTest::newRow("windows reparse point") << pics << "a.gif" << false << 0x420u << "Windows" << false;
    QTest::newRow("device") << pics << "a.gif" << false << 0x21b6u << "Unix" << false;
  }
  void entriesTakenAndRefused() {
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(bool, folder);
    QFETCH(quint32, attr);
    QFETCH(QString, host);
    QFETCH(bool, taken);
    QCOMPARE(UpdateEntryRefusal(UpdateArchiveKind(kind), name, folder, attr, host).isEmpty(), taken);
  }

  // Entries of a Unix host carry a mode word: a group-writable file is a
  // file (not a folder), a folder entry makes its folder.
  void unpackUnixModes() {
    QTemporaryDir dir;
    RarWriter::Archive a;
    a.version = 4;
    RarWriter::Entry folder;
    folder.name = "sub";
    folder.dir = true;
    folder.hostOS = 3;
    folder.attr = 0x41ed;
    RarWriter::Entry file;
    file.name = "sub/a.gif";
    file.data = "GIF89a";
    file.hostOS = 3;
    file.attr = 0x81b4; // rw-rw-r--
    a.entries = {folder, file};
    const QString archive = dir.filePath(QStringLiteral("images.rar"));
    QVERIFY(RarWriter::save(a, QFile::encodeName(archive).toStdString()));
    const UpdateArchiveResult r =
        UnpackUpdateArchive(TestEnv::stagedDir() + QStringLiteral("/libunrar.so"), archive,
                            dir.filePath(QStringLiteral("out")), UpdateArchiveKind::Pictures);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.files, QStringList{QStringLiteral("sub/a.gif")});
    QCOMPARE(readFile(dir.filePath(QStringLiteral("out/sub/a.gif"))), QByteArray("GIF89a"));
  }

  // Demo bank with three test records, three favourites and the font 黑体,
  // updated to 2026.02 over loopback (the bank archive through a redirect):
  // the new bank is open with the learner's history, the pictures and the
  // outline are in place, the old bank is a listed backup.
  void journeyKeepsTheHistory() {
    Run run;
    UpdateFixture::serveNewer(run.server, UpdateFixture::newerBankFile());
    HttpTestServer::Route moved;
    moved.mode = HttpTestServer::Mode::Redirect;
    moved.location = run.server.url(QStringLiteral("/files/QBRX.rar")).toUtf8();
    run.server.routes["/files/QBRX.rar"] = run.server.routes["/update/QBRX.rar"];
    run.server.route("/update/QBRX.rar", moved);
    QSignalSpy replaced(&run.events, &AppEvents::bankReplaced);
    const QString favourites =
        QStringLiteral("SELECT group_concat(小题号) FROM (SELECT 小题号 FROM 小题 WHERE 是否收藏<>0 ORDER BY 1)");
    QString kept = text(run.bank.dm, favourites);
    QVERIFY(kept.startsWith(QStringLiteral("1,2,3")));
    kept.remove(QStringLiteral("2,")); // sub-question 2 is not in the new bank

    QVERIFY(run.update());
    QCOMPARE(run.lines, kJourney);
    QVERIFY(run.job->updated());
    QCOMPARE(replaced.count(), 1);
    QCOMPARE(run.dialogs.texts(), QStringList{UpdateText::Question});
    QCOMPARE(run.dialogs.shown.first().caption, UpdateText::QuestionCaption);
    QCOMPARE(run.dialogs.beeps, 1);
    QCOMPARE(run.server.paths(), (QStringList{"/update/TKVersion.inf", "/update/QBRX.rar", "/files/QBRX.rar",
                                              "/update/images.rar", "/update/KSDG.rar"}));
    for (const HttpTestServer::Request &r : run.server.requests) {
      QCOMPARE(r.headers.value("accept"), QByteArray("text/html, */*"));
      QCOMPARE(r.headers.value("user-agent"), QByteArray("Mozilla/3.0 (compatible; Indy Library)"));
    }

    // The new bank, open, with its parameters loaded.
    TDataModule1 &dm = run.bank.dm;
    QCOMPARE(run.version(), QStringLiteral("2026.02"));
    QCOMPARE(BankVersion, QStringLiteral("2026.02"));
    QCOMPARE(SoftTitle, QStringLiteral("新题库 2026"));
    QCOMPARE(run.bank.count(QStringLiteral("SELECT count(*) FROM 小题 WHERE 小题号=2")), 0);
    // The learner's history came along.
    QCOMPARE(run.bank.count(QStringLiteral("SELECT count(*) FROM 测试结果")), 3);
    QCOMPARE(run.bank.count(QStringLiteral("SELECT count(*) FROM 测试题目")), 23);
    QCOMPARE(text(dm, favourites), kept);
    QCOMPARE(DisplaySettings.FontName, QStringLiteral("黑体"));
    QCOMPARE(text(dm, QStringLiteral("SELECT 分数 FROM 类型说明 WHERE 题目类型='判断题'")).toDouble(), 3.0);
    // A favourite toggle writes to the new bank.
    QCOMPARE(FavouritesRepository(dm.ADOConnection1).toggleFromPage(QStringLiteral("5")), QStringLiteral("ok"));
    QCOMPARE(run.bank.count(QStringLiteral("SELECT 是否收藏 FROM 小题 WHERE 小题号=5")), 1);

    // Pictures and outline: a name matched to the existing file by case.
    const QString root = run.bank.dir.root();
    QCOMPARE(readFile(root + QStringLiteral("css/im/PIC1.gif")), QByteArray("GIF89a-new-1"));
    QVERIFY(!QFile::exists(root + QStringLiteral("css/im/pic1.gif")));
    QCOMPARE(readFile(root + QStringLiteral("css/im/sub/pic2.png")), QByteArray("PNG-new-2"));
    // Files in a folder whose name begins with "." arrive like the others.
    QCOMPARE(readFile(root + QStringLiteral("css/im/.thumbs/pic1.gif")), QByteArray("GIF89a-thumb-1"));
    QCOMPARE(readFile(root + QStringLiteral("css/KSDG/index.html")), QByteArray("<html>outline 2026</html>"));
    QVERIFY(!QFileInfo::exists(UpdateStagingPath(root)));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("QBRX.db.replacing")));

    // The old bank is kept, listed for the restore dialog, and holds 2026.01.
    const std::vector<BackupEntry> backups = ListBackups(ProgramDir(root));
    QCOMPARE(int(backups.size()), 1);
    QCOMPARE(backups.front().path, run.job->backupPath());
    QVERIFY(QFileInfo(backups.front().path).fileName().startsWith(QStringLiteral("QBRX-升级前-")));
    QVERIFY(RestoreRefusal(backups.front().path, ProgramDir(root)).isEmpty());

    // Masked on disk while open, and after a restart it opens as the new one.
    QVERIFY(maskedOnDisk(run.bank.dir.path(QStringLiteral("QBRX.db"))));
    run.bank.dm.ADOConnection1.Close();
    run.bank.dm.instanceLock.release();
    TDataModule1 again;
    QCOMPARE(OpenBankAtStartup(again, root), StartupResult::Opened);
    QCOMPARE(text(again, QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名='题库版本'")), QStringLiteral("2026.02"));
    QVERIFY(maskedOnDisk(run.bank.dir.path(QStringLiteral("QBRX.db"))));
  }

  // Same or older version: nothing but the version file is fetched;
  // declining fetches nothing more either.
  void noUpdateFetchesOnlyTheVersion_data() {
    QTest::addColumn<QByteArray>("offered");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("same") << QByteArray("2026.01\r\n") << true << QStringList{UpdateText::Analysing, UpdateText::NoNewer};
    QTest::newRow("older") << QByteArray("2025.12") << true << QStringList{UpdateText::Analysing, UpdateText::NoNewer};
    QTest::newRow("declined") << QByteArray("2026.02") << false
                              << QStringList{UpdateText::Analysing, UpdateText::Offered, UpdateText::Declined};
  }
  void noUpdateFetchesOnlyTheVersion() {
    QFETCH(QByteArray, offered);
    QFETCH(bool, answer);
    QFETCH(QStringList, lines);
    Run run;
    run.dialogs.defaultAnswer = answer;
    UpdateFixture::serveNewer(run.server, QByteArray("unused"), offered);
    QVERIFY(run.update());
    QCOMPARE(run.lines, lines);
    QVERIFY(!run.job->updated());
    QCOMPARE(run.server.paths(), QStringList{"/update/TKVersion.inf"});
    QCOMPARE(readFile(run.bank.dir.path(QStringLiteral("TKVersion.inf"))), offered);
    QCOMPARE(run.version(), QStringLiteral("2026.01"));
  }

  // Every failure: the failure line naming the cause, the old bank, pictures
  // and outline in use, the connection open, nothing left in staging and
  // nothing written outside the program directory.
  void failuresLeaveTheOldVersion_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("how"); // 0 replace body, 1 stall, 2 cut short, 3 404, 4 no server, 5 no address
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("named");
    using UpdateFixture::rar;
    const QByteArray bank = UpdateFixture::newerBankFile();
    QTest::newRow("no server") << QByteArray() << 4 << QByteArray() << "TKVersion.inf";
    QTest::newRow("no address configured") << QByteArray() << 5 << QByteArray() << "在线升级未配置";
    QTest::newRow("version 404") << QByteArray("/update/TKVersion.inf") << 3 << QByteArray() << "404";
    QTest::newRow("version is a page") << QByteArray("/update/TKVersion.inf") << 0
                                       << QByteArray("<html><body>offline</body></html>") << "网页";
    QTest::newRow("version file too long") << QByteArray("/update/TKVersion.inf") << 0
                                           << QByteArray("2026.02\n" + QByteArray(100 * 1024, 'x')) << "TKVersion.inf";
    QTest::newRow("bank 404") << QByteArray("/update/QBRX.rar") << 3 << QByteArray() << "QBRX.rar";
    QTest::newRow("bank stalls") << QByteArray("/update/QBRX.rar") << 1 << QByteArray() << "传输停滞";
    QTest::newRow("bank cut short") << QByteArray("/update/QBRX.rar") << 2 << QByteArray() << "QBRX.rar";
    QTest::newRow("outline stalls") << QByteArray("/update/KSDG.rar") << 1 << QByteArray() << "KSDG.rar";
    QTest::newRow("error page as archive") << QByteArray("/update/images.rar") << 0
                                           << QByteArray("<html>Service Unavailable</html>") << "不是 RAR";
    RarWriter::Archive damaged;
    damaged.version = 5;
    RarWriter::Entry e;
    e.name = "QBRX.db";
    e.data = bank.toStdString();
    e.badCrc = true;
    damaged.entries.push_back(e);
    const std::string damagedBytes = RarWriter::build(damaged);
    QTest::newRow("corrupt archive") << QByteArray("/update/QBRX.rar") << 0
                                     << QByteArray(damagedBytes.data(), qsizetype(damagedBytes.size())) << "QBRX.db";
    QTest::newRow("no QBRX.db") << QByteArray("/update/QBRX.rar") << 0 << rar({}) << "没有 QBRX.db";
    QTest::newRow("QBRX.db not a bank") << QByteArray("/update/QBRX.rar") << 0
                                        << rar({{"QBRX.db", QByteArray(8192, 'x')}}) << "不是本程序的有效题库";
    QTest::newRow("libunrar.so beside the bank")
        << QByteArray("/update/QBRX.rar") << 0 << rar({{"QBRX.db", bank}, {"libunrar.so", "\x7f" "ELF"}})
        << "libunrar.so";
    QTest::newRow("the program among pictures")
        << QByteArray("/update/images.rar") << 0 << rar({{"a.gif", "GIF"}, {"qbrx", "\x7f" "ELF"}}) << "qbrx";
    QTest::newRow("fonts folder") << QByteArray("/update/KSDG.rar") << 0 << rar({{"fonts/x.conf", "<fontconfig/>"}})
                                  << "fonts/x.conf";
    QTest::newRow("dot dot") << QByteArray("/update/images.rar") << 0 << rar({{"../x.gif", "GIF"}}) << "../x.gif";
    RarWriter::Archive linked;
    linked.version = 4;
    RarWriter::Entry link;
    link.name = "a.gif";
    link.hostOS = 3;
    link.link = RarWriter::Link::Symlink;
    link.linkTarget = "../../../QBRX.db";
    linked.entries.push_back(link);
    const std::string linkBytes = RarWriter::build(linked);
    RarWriter::Archive hard;
    hard.version = 5;
    RarWriter::Entry first;
    first.name = "a.gif";
    first.data = "GIF";
    RarWriter::Entry second;
    second.name = "b.gif";
    second.link = RarWriter::Link::HardLink;
    second.linkTarget = "a.gif";
    hard.entries = {first, second};
    const std::string hardBytes = RarWriter::build(hard);
    QTest::newRow("a RAR 5 hard link") << QByteArray("/update/images.rar") << 0
                                       << QByteArray(hardBytes.data(), qsizetype(hardBytes.size())) << "b.gif";
    QTest::newRow("a link") << QByteArray("/update/KSDG.rar") << 0
                            << QByteArray(linkBytes.data(), qsizetype(linkBytes.size())) << "a.gif";
  }
  void failuresLeaveTheOldVersion() {
    QFETCH(QByteArray, path);
    QFETCH(int, how);
    QFETCH(QByteArray, body);
    QFETCH(QString, named);
    Run run;
    UpdateFixture::serveNewer(run.server, UpdateFixture::newerBankFile());
    const QString root = run.bank.dir.root();
    const QByteArray oldPicture = readFile(root + QStringLiteral("css/im/PIC1.gif"));
    if (how == 0)
      run.server.serve(path, body);
    HttpTestServer::Route r = run.server.routes.value(path);
    if (how == 1 || how == 2) {
      r.mode = how == 1 ? HttpTestServer::Mode::Stall : HttpTestServer::Mode::CutShort;
      r.sendBytes = r.body.size() / 2;
      run.server.route(path, r);
    }
    if (how == 3)
      run.server.routes.remove(path);
    QElapsedTimer clock;
    clock.start();
    if (how == 4 || how == 5) {
      run.job = std::make_unique<UpdateJob>(run.context);
      run.job->baseUrl = how == 4 ? QStringLiteral("http://127.0.0.1:1/update/") : QStringLiteral(" ");
      QObject::connect(run.job.get(), &UpdateJob::line, [&](const QString &l) { run.lines << l; });
      QSignalSpy ended(run.job.get(), &UpdateJob::ended);
      run.job->start();
      QVERIFY(ended.count() > 0 || ended.wait(30000)); // no address: ended within start()
    } else {
      QVERIFY(run.update(400));
    }
    QVERIFY2(clock.elapsed() < 20000, "a stall is ended by the no-data timeout");
    QVERIFY(!run.job->updated());
    QVERIFY(!run.lines.isEmpty());
    QVERIFY2(run.lines.last().startsWith(UpdateText::Failed), qPrintable(run.lines.last()));
    QVERIFY2(run.lines.last().contains(named), qPrintable(run.lines.last()));
    QVERIFY(!run.lines.contains(UpdateText::Done));
    // The old version, open and in use.
    QCOMPARE(run.version(), QStringLiteral("2026.01"));
    QCOMPARE(run.bank.count(QStringLiteral("SELECT count(*) FROM 小题 WHERE 小题号=2")), 1);
    QCOMPARE(readFile(root + QStringLiteral("css/im/PIC1.gif")), oldPicture);
    QVERIFY(!QFile::exists(root + QStringLiteral("css/KSDG/index.html")));
    QVERIFY(!QFileInfo::exists(UpdateStagingPath(root)));
    QVERIFY(ListBackups(ProgramDir(root)).empty());
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("../x.gif")));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("css/x.gif")));
  }

  // A server that goes on too long, or an archive too large: too slow, past
  // the deadline, a body without a length that never ends, a length over
  // the limit, a bank that unpacks to more than a bank may be. Each ends
  // the run with its reason and leaves the old version.
  void limitsEndTheUpdate_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("mode"); // HttpTestServer::Mode
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<int>("bodyBytes"); // the served body ('x'), else the fixture's archive
    QTest::addColumn<qint64>("bankLimit");
    QTest::addColumn<QString>("named");
    using M = HttpTestServer::Mode;
    // The windows: at least 100 bytes a second, a file done in 2.5 s.
    QTest::newRow("100 bytes every 2 s") << QByteArray("/update/images.rar") << int(M::Trickle) << 2000 << 1024 * 1024
                                           << qint64(-1) << "传输停滞或太慢";
    QTest::newRow("fast enough, past the deadline")
        << QByteArray("/update/images.rar") << int(M::Trickle) << 50 << 1024 * 1024 << qint64(-1) << "仍未完成";
    QTest::newRow("endless body, no length") << QByteArray("/update/images.rar") << int(M::Endless) << 0 << 0
                                             << qint64(-1) << "images.rar 失败：文件大于上限 4.0 MB";
    QTest::newRow("length over the limit") << QByteArray("/update/KSDG.rar") << int(M::Serve) << 0 << 5 * 1024 * 1024
                                           << qint64(-1) << "KSDG.rar 失败：文件有 5.0 MB，超过上限 4.0 MB";
    QTest::newRow("bank unpacks past its limit") << QByteArray("/update/QBRX.rar") << int(M::Serve) << 0 << 0
                                                 << qint64(64 * 1024) << "超过上限 64 KB";
  }
  void limitsEndTheUpdate() {
    QFETCH(QByteArray, path);
    QFETCH(int, mode);
    QFETCH(int, intervalMs);
    QFETCH(int, bodyBytes);
    QFETCH(qint64, bankLimit);
    QFETCH(QString, named);
    Run run;
    UpdateFixture::serveNewer(run.server, UpdateFixture::newerBankFile());
    HttpTestServer::Route r = run.server.routes.value(path);
    r.mode = HttpTestServer::Mode(mode);
    r.intervalMs = intervalMs;
    if (r.mode == HttpTestServer::Mode::Trickle)
      r.sendBytes = 100; // per tick
    if (bodyBytes > 0)
      r.body = QByteArray(bodyBytes, 'x');
    run.server.route(path, r);
    UpdateJob &job = run.newJob();
    job.limits.stallWindowMs = 1000;
    job.limits.stallMinBytes = 100;
    job.limits.deadlineMs = 2500;
    job.limits.picturesArchiveBytes = job.limits.outlineArchiveBytes = 4 * 1024 * 1024;
    if (bankLimit > 0)
      job.limits.bankBytes = bankLimit;
    const QByteArray before = run.bankBytes();
    QVERIFY(run.update());
    QVERIFY2(run.lines.last().startsWith(UpdateText::Failed), qPrintable(run.lines.last()));
    QVERIFY2(run.lines.last().contains(named), qPrintable(run.lines.last()));
    oldVersionKept(run, before);
  }

  // The learner stops the run during a transfer (a server trickling one
  // byte every 20 s), an unpacking and the preparing of the swap: it ends
  // at once, its last line says it was stopped, and nothing has changed.
  void cancelAtEachStep_data() {
    QTest::addColumn<int>("step");
    QTest::newRow("transfer") << 0;
    QTest::newRow("unpacking") << 1;
    QTest::newRow("preparing the swap") << 2;
  }
  void cancelAtEachStep() {
    QFETCH(int, step);
    Run run;
    UpdateFixture::serveNewer(run.server, UpdateFixture::newerBankFile());
    if (step == 0) {
      HttpTestServer::Route r = run.server.routes.value("/update/images.rar");
      r.mode = HttpTestServer::Mode::Trickle;
      r.intervalMs = 20000;
      run.server.route("/update/images.rar", r);
    }
    // Windows long enough that only the learner ends the trickle.
    UpdateJob &job = run.newJob(120000);
    const QByteArray before = run.bankBytes();
    bool unpacking = false;
    QObject::connect(&job, &UpdateJob::line, [&](const QString &l) {
      unpacking = step == 1 && l == UpdateText::UnpackPictures;
      if (step == 2 && l == UpdateText::Finishing)
        job.cancel();
    });
    // The unpacking's own progress (from its worker): it is at work.
    QObject::connect(&job, &UpdateJob::progress, [&](qint64, qint64 maximum) {
      if (unpacking && maximum > 0)
        job.cancel();
    });
    QSignalSpy ended(&job, &UpdateJob::ended);
    job.start();
    if (step == 0) {
      QTRY_VERIFY_WITH_TIMEOUT(run.server.paths().contains(QStringLiteral("/update/images.rar")), 30000);
      QVERIFY(job.running());
      job.cancel();
    }
    QVERIFY(!ended.isEmpty() || ended.wait(10000));
    QCOMPARE(ended.count(), 1);
    QVERIFY(job.cancelled());
    QCOMPARE(run.lines.last(), UpdateText::Cancelled);
    QVERIFY(!run.lines.join(QString()).contains(UpdateText::Failed));
    oldVersionKept(run, before);
  }

  // Stopped within a block: the unpacking reports `cancelled` and leaves no
  // file, not even the one it was writing.
  void unpackStopsWhenCancelled() {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("images.rar"));
    QVERIFY(writeFile(archive, UpdateFixture::rar({{"a.gif", QByteArray(3 * 1024 * 1024, 'a')}, {"b.gif", "GIF"}})));
    std::atomic<bool> cancel{false};
    UpdateArchiveLimits limits;
    limits.cancel = &cancel;
    int reports = 0;
    const QString out = dir.filePath(QStringLiteral("out"));
    const UpdateArchiveResult r = UnpackUpdateArchive(
        TestEnv::stagedDir() + QStringLiteral("/libunrar.so"), archive, out, UpdateArchiveKind::Pictures,
        [&](qint64, qint64) {
          ++reports;
          cancel = true;
        },
        limits);
    QVERIFY(!r.ok);
    QVERIFY(r.cancelled);
    QCOMPARE(reports, 1);
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
  }

  // A small disk (a tmpfs of the test's own): the failure line says
  // 磁盘空间不足 and names the folder, whether the length told it before
  // the body, the disk filled under a body without a length, or the
  // unpacking needed more than was left; the old version stays.
  void diskFull_data() {
    QTest::addColumn<int>("how");
    QTest::addColumn<QString>("folder"); // the one named, below the program directory
    QTest::newRow("length known, larger than the room") << 0 << "QBRX.update";
    QTest::newRow("no length: the disk fills") << 1 << "QBRX.update";
    QTest::newRow("unpacking needs more than is left") << 2 << "QBRX.update/im";
  }
  void diskFull() {
    QFETCH(int, how);
    QFETCH(QString, folder);
    SmallDisk disk;
    if (!disk.mounted())
      QSKIP(qPrintable(QStringLiteral("a tmpfs cannot be mounted here (%1); the test runs as root").arg(disk.error())));
    std::unique_ptr<Run> run;
    {
      SmallDisk::Current on(disk);
      run = std::make_unique<Run>();
    }
    const QString root = run->bank.dir.root();
    QVERIFY(root.startsWith(disk.path()));
    UpdateFixture::serveNewer(run->server, UpdateFixture::newerBankFile());
    const qint64 MiB = 1024 * 1024;
    HttpTestServer::Route r = run->server.routes.value("/update/images.rar");
    if (how == 0)
      r.body = QByteArray(6 * MiB, 'x');
    if (how == 1)
      r.mode = HttpTestServer::Mode::Endless;
    if (how == 2)
      r.body = UpdateFixture::rar({{"big.gif", QByteArray(3 * MiB, 'g')}});
    run->server.route("/update/images.rar", r);
    run->newJob().limits.diskReserveBytes = 0; // up to the last byte: a write meets the full disk
    const QByteArray before = run->bankBytes();
    QVERIFY(disk.leaveFree(4 * MiB));
    QVERIFY(run->update());
    const QString line = run->lines.last();
    QVERIFY2(line.startsWith(UpdateText::Failed) && line.contains(QStringLiteral("磁盘空间不足")), qPrintable(line));
    QVERIFY2(line.contains(QDir::toNativeSeparators(root + folder)), qPrintable(line));
    oldVersionKept(*run, before);
  }

  // The start removes what an update left in its staging folder; a link in
  // its place is removed as a link, never followed.
  void startDiscardsTheStaging() {
    for (bool linked : {false, true}) {
      TestEnv::ProgramDirFixture dir;
      QTemporaryDir outside;
      QVERIFY(writeFile(outside.filePath(QStringLiteral("keep.txt")), "keep"));
      const QString staging = UpdateStagingPath(dir.root());
      if (linked)
        QVERIFY(QFile::link(outside.path(), staging.chopped(1)));
      else
        QVERIFY(writeFile(staging + QStringLiteral("im/a.gif"), "GIF"));
      TDataModule1 dm;
      QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
      QVERIFY(!QFileInfo::exists(staging) && !QFileInfo(staging.chopped(1)).isSymLink());
      QCOMPARE(readFile(outside.filePath(QStringLiteral("keep.txt"))), QByteArray("keep"));
    }
  }

  // A kill at each step of the swap: the next start opens the old bank or
  // the new one, complete, and the staging folder is gone.
  void killAtEachSwapStep_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("version");
    QTest::newRow("backed up") << int(UpdateSwapStep::BackedUp) << "2026.01";
    QTest::newRow("history carried") << int(UpdateSwapStep::HistoryCarried) << "2026.01";
    QTest::newRow("files moved") << int(UpdateSwapStep::FilesMoved) << "2026.01";
    QTest::newRow("before the rename") << int(UpdateSwapStep::BeforeRename) << "2026.01";
    QTest::newRow("renamed") << int(UpdateSwapStep::Renamed) << "2026.02";
  }
  void killAtEachSwapStep() {
    QFETCH(int, step);
    QFETCH(QString, version);
    TestEnv::ProgramDirFixture dir;
    const QString staging = UpdateStagingPath(dir.root());
    QVERIFY(writeFile(dir.path(QStringLiteral("prepared/QBRX.db")), UpdateFixture::newerBankFile()));
    QVERIFY(writeFile(dir.path(QStringLiteral("prepared/im/new.gif")), "GIF"));
    QProcess child;
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/child_update"),
                {dir.root(), QString::number(step)});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    QCOMPARE(text(dm, QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名='题库版本'")), version);
    QCOMPARE(text(dm, QStringLiteral("PRAGMA quick_check")), QStringLiteral("ok"));
    QCOMPARE(text(dm, QStringLiteral("SELECT count(*) FROM 测试结果")), QStringLiteral("3"));
    QVERIFY(!QFileInfo::exists(staging));
    QVERIFY(!QFileInfo::exists(dir.path(QStringLiteral("QBRX.db.replacing"))));
  }
};

QBRX_TEST_MAIN(TstUpdate)
#include "tst_update.moc"
