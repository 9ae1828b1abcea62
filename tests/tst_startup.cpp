// test-links: widgets
// Opening the bank at start-up: the file ends masked, temp.db is gone, a bad
// file gets the fatal message, and a crash at any step loses nothing.
// ctest-timeout: 300

#include "FakeDialogs.h"
#include "TestEnv.h"
#include "mainwin/ui/Main.h"
#include "store/BankBuilder.h"
#include "store/BankCopy.h"
#include "store/BankFile.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/InstanceLock.h"
#include "store/Startup.h"

#include <QFile>
#include <QDir>
#include <QProcess>
#include <QtTest>
#include <random>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

const char *kBank = R"SQL(
INSERT INTO 系统参数 VALUES('软件标题','启动测试');
INSERT INTO 题目类别 VALUES(1,'科目',0,'0');
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏)
  WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<500)
  SELECT i,i,1,'单项选择题',1,'题干'||i,'A',printf('%.*c',200,'解'),0 FROM n;
INSERT INTO 答案选项 SELECT 小题号,小题号,k,'选项' FROM 小题, (SELECT 1 k UNION SELECT 2 UNION SELECT 3);
)SQL";

QByteArray block(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return {};
  f.seek(BankFile::kBlockOffset);
  return f.read(BankFile::kBlockSize);
}

QByteArray masked() { return QByteArray(reinterpret_cast<const char *>(kMaskingBlock.data()), 40); }

// Everything the bank holds, in a comparable form.
QString fingerprint(TDataModule1 &dm) {
  TADOQuery &q = dm.ADOQuery2;
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral(
      "SELECT (SELECT count(*)||'/'||total(length(解释))||'/'||total(小题号) FROM 小题)||'|'||"
      "(SELECT count(*) FROM 答案选项)||'|'||(SELECT count(*) FROM 测试结果)||'|'||"
      "(SELECT group_concat(参数名||'='||参数值) FROM 系统参数)"));
  q.Open();
  return q.Fields(0).AsString();
}

QString readyFingerprint(const QString &root) {
  TDataModule1 dm;
  if (OpenBankAtStartup(dm, root) != StartupResult::Opened)
    return QStringLiteral("<did not open>");
  return fingerprint(dm);
}

} // namespace

static QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class TstStartup : public QObject {
  Q_OBJECT

private slots:
  void opensAndEndsMasked_data() {
    QTest::addColumn<bool>("genuineAlready");
    QTest::addColumn<bool>("leftoverTemp");
    QTest::newRow("masked at rest") << false << false;
    QTest::newRow("already genuine") << true << false;
    QTest::newRow("temp.db left by a crash") << false << true;
  }
  void opensAndEndsMasked() {
    QFETCH(bool, genuineAlready);
    QFETCH(bool, leftoverTemp);
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kBank)});
    const QString bank = dir.path(QStringLiteral("QBRX.db"));
    const QString temp = dir.path(QStringLiteral("temp.db"));
    if (genuineAlready)
      UnmaskDatabaseFile(bank);
    if (leftoverTemp)
      QVERIFY(QFile::copy(bank, temp));
    const qint64 size = QFile(bank).size();
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    QCOMPARE(block(bank), masked());
    QVERIFY(!QFile::exists(temp));
    // The open connection goes on working with the file masked on disk.
    dm.ADOQuery2.SQL.Add(QStringLiteral("UPDATE 小题 SET 是否收藏=1 WHERE 小题号=3"));
    dm.ADOQuery2.ExecSQL();
    QCOMPARE(block(bank), masked());
    QCOMPARE(QFile(bank).size(), size);
    QVERIFY(fingerprint(dm).startsWith(QStringLiteral("500/")));
  }

  void aLostBankIsRecoveredFromTemp() {
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kBank)});
    const QString bank = dir.path(QStringLiteral("QBRX.db"));
    QVERIFY(QFile::rename(bank, dir.path(QStringLiteral("temp.db"))));
    QVERIFY(readyFingerprint(dir.root()).startsWith(QStringLiteral("500/")));
    QVERIFY(!QFile::exists(dir.path(QStringLiteral("temp.db"))));
    QCOMPARE(block(bank), masked());
  }

  void badFilesAreRefused_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("expected");
    QTest::newRow("missing") << "missing" << int(StartupResult::Missing);
    QTest::newRow("not ours") << "plain" << int(StartupResult::NotOurs);
    QTest::newRow("corrupt image") << "corrupt" << int(StartupResult::OpenFailed);
  }
  void badFilesAreRefused() {
    QFETCH(QString, kind);
    QFETCH(int, expected);
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kBank)});
    const QString bank = dir.path(QStringLiteral("QBRX.db"));
    if (kind == QLatin1String("missing")) {
      QFile::remove(bank);
    } else if (kind == QLatin1String("plain")) {
      QFile::remove(bank);
      TADOConnection c;
      c.OpenPlain(bank, true);
      c.ExecuteScript(QStringLiteral("CREATE TABLE t(x);"));
    } else {
      QFile f(bank);
      QVERIFY(f.open(QIODevice::ReadWrite));
      f.seek(4096);
      f.write(QByteArray(4096, 'x')); // the SQLite image's first page is gone
    }
    QFile f(bank);
    const QByteArray before = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    f.close();
    TDataModule1 dm;
    QCOMPARE(int(OpenBankAtStartup(dm, dir.root())), expected);
    QVERIFY(!dm.ADOConnection1.Connected());
    QVERIFY(!QFile::exists(dir.path(QStringLiteral("temp.db"))));
    f.open(QIODevice::ReadOnly);
    const QByteArray after = f.readAll();
    if (kind == QLatin1String("corrupt")) {
      // A bank of ours ends masked, nothing else changed.
      QCOMPARE(after.mid(66, 40), masked());
      QCOMPARE(after.mid(106), before.mid(106));
    } else {
      QCOMPARE(after, before); // never written to
    }
  }

  // Two programs started at the same moment on one directory: one runs, the
  // other stops with its own message; never the fatal message, never a lost
  // row. Run many times, because the window of the old race was small.
  void twoStartsAtOnce() {
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kBank)});
    const QString child = QCoreApplication::applicationDirPath() + QStringLiteral("/child_startup");
    const int pairs = 100;
    int stored = 0, refused = 0;
    for (int i = 0; i < pairs; ++i) {
      QProcess a, b;
      a.start(child, {dir.root(), QStringLiteral("race")});
      b.start(child, {dir.root(), QStringLiteral("race")});
      QVERIFY(a.waitForFinished(30000));
      QVERIFY(b.waitForFinished(30000));
      for (QProcess *p : {&a, &b}) {
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QVERIFY2(p->exitCode() == 0 || p->exitCode() == 4,
                 qPrintable(QStringLiteral("pair %1: exit code %2").arg(i).arg(p->exitCode())));
        (p->exitCode() == 0 ? stored : refused) += 1;
      }
    }
    QCOMPARE(stored + refused, 2 * pairs);
    QVERIFY(stored >= pairs);
    QCOMPARE(block(dir.path(QStringLiteral("QBRX.db"))), masked());
    QVERIFY(!QFile::exists(dir.path(QStringLiteral("temp.db"))));
    InstanceLock free; // both ended: nobody holds the directory any more
    QCOMPARE(free.acquire(dir.root()), InstanceLock::Result::Acquired);
    free.release();
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    dm.ADOQuery2.SQL.Add(QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 测试名称='race'"));
    dm.ADOQuery2.Open();
    QCOMPARE(dm.ADOQuery2.Fields(0).AsInteger(), stored);
  }

  // A second start while the first runs shows one message, ends, and leaves
  // the directory exactly as it was; the first goes on working.
  void aSecondStartTouchesNothing() {
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kBank)});
    TDataModule1 first;
    QCOMPARE(OpenBankAtStartup(first, dir.root()), StartupResult::Opened);
    const QString bank = dir.path(QStringLiteral("QBRX.db"));
    auto snapshot = [&] {
      QStringList s = QDir(dir.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
      QFile f(bank);
      f.open(QIODevice::ReadOnly);
      s << QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex());
      return s;
    };
    const QStringList before = snapshot();
    {
      FakeDialogs fake;
      TFrmMain window{ProgramDir(dir.root())};
      QVERIFY(window.startupFailed());
      QCOMPARE(fake.shown.size(), 1);
      QCOMPARE(fake.shown[0].text, QStringLiteral("本程序已经在运行，同一个程序目录只能打开一个。请切换到已经打开的窗口。"));
      QCOMPARE(fake.shown[0].icon, Dialogs::Icon::Warning);
    }
    QCOMPARE(snapshot(), before);
    first.ADOQuery2.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称) VALUES('first')"));
    first.ADOQuery2.ExecSQL();
    QCOMPARE(block(bank), masked());
  }

  // A FIFO or a folder in the bank's place is never opened for reading (a
  // FIFO would block the start for ever), and a bank of a newer format is
  // neither unmasked nor opened.
  void filesThatCannotBeOpened_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("expected");
    QTest::newRow("FIFO as QBRX.db") << "fifo-bank" << int(StartupResult::NotAFile);
    QTest::newRow("FIFO as temp.db") << "fifo-temp" << int(StartupResult::NotAFile);
    QTest::newRow("folder as QBRX.db") << "dir-bank" << int(StartupResult::NotAFile);
    QTest::newRow("newer format") << "newer" << int(StartupResult::NewerFormat);
  }
  void filesThatCannotBeOpened() {
    QFETCH(QString, kind);
    QFETCH(int, expected);
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kBank)});
    const QString bank = dir.path(QStringLiteral("QBRX.db"));
    QByteArray before;
    if (kind == QLatin1String("fifo-bank")) {
      QVERIFY(QFile::remove(bank));
      QCOMPARE(::mkfifo(QFile::encodeName(bank).constData(), 0600), 0);
    } else if (kind == QLatin1String("fifo-temp")) {
      QCOMPARE(::mkfifo(QFile::encodeName(dir.path(QStringLiteral("temp.db"))).constData(), 0600), 0);
    } else if (kind == QLatin1String("dir-bank")) {
      QVERIFY(QFile::remove(bank));
      QVERIFY(QDir().mkdir(bank));
    } else {
      QFile f(bank);
      QVERIFY(f.open(QIODevice::ReadWrite));
      f.seek(16);
      f.write(QByteArray("\x02\0\0\0", 4));
      f.seek(0);
      before = f.readAll();
    }
    TDataModule1 dm;
    QString detail;
    QCOMPARE(int(OpenBankAtStartup(dm, dir.root(), {}, &detail)), expected);
    QVERIFY(!dm.ADOConnection1.Connected());
    if (kind == QLatin1String("newer")) {
      QVERIFY2(detail.contains(QStringLiteral("格式版本是 2")) && detail.contains(QStringLiteral("格式版本 1")),
               qPrintable(detail));
      QFile f(bank);
      QVERIFY(f.open(QIODevice::ReadOnly));
      QCOMPARE(f.readAll(), before); // still masked, not a byte changed
      // Opened directly (the bank tool's way), it is refused with both versions.
      UnmaskDatabaseFile(bank);
      TADOConnection c;
      try {
        c.Open(bank, kDatabasePassword);
        QFAIL("opened");
      } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("格式版本是 2")), qPrintable(e.message()));
      }
    } else {
      QVERIFY2(detail.endsWith(kind.endsWith(QLatin1String("temp")) ? QStringLiteral("temp.db") : QStringLiteral("QBRX.db")),
               qPrintable(detail));
    }
  }

  // A child killed inside a write transaction leaves a hot journal beside
  // the bank. A copy (an export, a backup) must hold exactly the committed
  // rows and pass the integrity check; a copy of the main file alone would
  // carry the half-written pages.
  void aCopyOfABankWithAHotJournal_data() {
    QTest::addColumn<bool>("plain");
    QTest::newRow("export as plain SQLite") << true;
    QTest::newRow("bank copy") << false;
  }
  void aCopyOfABankWithAHotJournal() {
    QFETCH(bool, plain);
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kBank)});
    const QString expected = readyFingerprint(dir.root());
    QProcess child;
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/child_startup"),
                {dir.root(), QStringLiteral("txn")});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QVERIFY(QFile::exists(dir.path(QStringLiteral("QBRX.db-journal"))));

    QTemporaryDir out;
    TDataModule1 copy;
    if (plain) {
      const QString file = out.filePath(QStringLiteral("copy.sqlite"));
      ExportBank(dir.path(QStringLiteral("QBRX.db")), file);
      copy.ADOConnection1.OpenPlain(file);
    } else {
      CopyBank(dir.path(QStringLiteral("QBRX.db")), out.filePath(QStringLiteral("QBRX.db")), BankCopyFormat::Bank);
      QCOMPARE(block(out.filePath(QStringLiteral("QBRX.db"))), masked());
      QCOMPARE(OpenBankAtStartup(copy, out.path() + QLatin1Char('/')), StartupResult::Opened);
    }
    copy.ADOQuery1.SQL.Add(QStringLiteral("PRAGMA integrity_check"));
    copy.ADOQuery1.Open();
    QCOMPARE(copy.ADOQuery1.Fields(0).AsString(), QStringLiteral("ok"));
    QCOMPARE(fingerprint(copy), expected);
    QVERIFY(QDir(out.path()).entryList({QStringLiteral("*.partial*")}, QDir::Files).isEmpty());
    // The bank itself was rolled back on the way and is as it was, masked.
    QCOMPARE(block(dir.path(QStringLiteral("QBRX.db"))), masked());
    QCOMPARE(readyFingerprint(dir.root()), expected);
  }

  // The shim's refusal of a masked file reaches the learner as the fatal
  // message, and the window reports that start-up failed.
  void theLearnerSeesTheFatalMessage() {
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kBank)});
    TDataModule1 dm;
    QString detail;
    // Re-mask right after the unmasking: the open meets a masked file.
    const StartupResult r = OpenBankAtStartup(dm, dir.root(), [&](StartupStep s) {
      if (s == StartupStep::Unmasked)
        MaskDatabaseFile(dir.path(QStringLiteral("QBRX.db")));
    }, &detail);
    QCOMPARE(r, StartupResult::OpenFailed);
    QVERIFY(!detail.isEmpty());

    // The window meets a file it refuses: an ordinary SQLite database (not a
    // bank of ours) under the bank's name. The learner reads the fatal
    // message and the file is left as it was.
    const QString bank = dir.path(QStringLiteral("QBRX.db"));
    const QString plain = dir.path(QStringLiteral("plain.sqlite"));
    ExportBank(bank, plain);
    QVERIFY(QFile::remove(bank));
    QVERIFY(QFile::rename(plain, bank));
    const QByteArray before = readAll(bank);
    FakeDialogs fake;
    TFrmMain window{ProgramDir(dir.root())};
    QVERIFY(window.startupFailed());
    QCOMPARE(fake.shown.size(), 1);
    QVERIFY(fake.shown[0].text.startsWith(QStringLiteral("打开数据库出现严重的错误，程序将中止！\n\n题库文件：") + bank));
    QCOMPARE(fake.shown[0].caption, QStringLiteral("错误"));
    QCOMPARE(fake.shown[0].icon, Dialogs::Icon::Error);
    QCOMPARE(readAll(bank), before);
  }

  // Damaged bank files, in a loop (fixed seed): bytes changed anywhere in
  // the header page or the image, or the file cut short. Every start either
  // opens the bank or refuses it; the learner is told in Chinese; a refused
  // file is left as it was, and an opened one changes in the 40-byte block
  // at most; reading a damaged image fails with a Chinese message, never a
  // crash.
  void damagedBanksAreOpenedOrRefused() {
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kBank)});
    const QString bank = dir.path(QStringLiteral("QBRX.db"));
    const QByteArray good = readAll(bank);
    const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
    std::mt19937 random(20261210);
    int opened = 0, refused = 0;
    for (int round = 0; round < 150; ++round) {
      QByteArray bytes = good;
      if (round % 5 == 4) {
        bytes.truncate(int(random() % bytes.size()));
      } else {
        const int changes = 1 + int(random() % 8);
        for (int i = 0; i < changes; ++i) {
          // Half of the changes fall in the header page, the rest anywhere.
          const int at = int(random() % (i % 2 ? bytes.size() : 4096));
          bytes[at] = char(random());
        }
      }
      QFile::remove(bank);
      QFile f(bank);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(bytes);
      f.close();

      FakeDialogs fake;
      TDataModule1 dm;
      QString detail;
      const StartupResult r = OpenBankAtStartup(dm, dir.root(), {}, &detail);
      if (r == StartupResult::Opened) {
        ++opened;
        try {
          TADOQuery q(dm.ADOConnection1, QStringLiteral("probe"));
          q.SQL.Add(QStringLiteral("SELECT count(*) FROM 小题"));
          q.Open();
        } catch (const AppError &e) {
          QVERIFY2(e.message().contains(chinese), qPrintable(e.message()));
        }
        dm.ADOConnection1.Close();
        QByteArray after = readAll(bank), before = bytes;
        if (after.size() == before.size() && after.size() > 106) {
          after.replace(66, 40, QByteArray(40, 0));
          before.replace(66, 40, QByteArray(40, 0));
        }
        QVERIFY2(after == before, qPrintable(QStringLiteral("round %1 changed the file").arg(round)));
      } else {
        ++refused;
        ShowStartupFailure(r, detail);
        QCOMPARE(fake.shown.size(), 1);
        QVERIFY2(fake.shown[0].text.contains(chinese), qPrintable(fake.shown[0].text));
        QVERIFY2(readAll(bank) == bytes, qPrintable(QStringLiteral("round %1 touched a refused file").arg(round)));
      }
    }
    QVERIFY(opened > 0 && refused > 0);
  }

  // A child process runs the start-up and is killed at each step (and once
  // in the middle of a write transaction); the next start must open the file
  // with every row, masked, and without temp.db.
  void aCrashAtAnyStepLosesNothing_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("leftoverTemp");
    for (int s = int(StartupStep::Begin); s <= int(StartupStep::Masked); ++s) {
      QTest::addRow("step %d", s) << QString::number(s) << false;
      QTest::addRow("step %d with temp.db", s) << QString::number(s) << true;
    }
    QTest::newRow("inside a transaction") << "txn" << false;
  }
  void aCrashAtAnyStepLosesNothing() {
    QFETCH(QString, where);
    QFETCH(bool, leftoverTemp);
    TestEnv::ProgramDirFixture dir({QString::fromUtf8(kBank)});
    const QString expected = readyFingerprint(dir.root());
    QVERIFY(expected.startsWith(QStringLiteral("500/")));
    if (leftoverTemp)
      QVERIFY(QFile::copy(dir.path(QStringLiteral("QBRX.db")), dir.path(QStringLiteral("temp.db"))));

    QProcess child;
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/child_startup"), {dir.root(), where});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    QCOMPARE(readyFingerprint(dir.root()), expected);
    QCOMPARE(block(dir.path(QStringLiteral("QBRX.db"))), masked());
    QVERIFY(!QFile::exists(dir.path(QStringLiteral("temp.db"))));
  }
};

QBRX_TEST_MAIN(TstStartup)
#include "tst_startup.moc"
