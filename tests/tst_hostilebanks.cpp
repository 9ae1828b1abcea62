// test-links: logic
// ctest-timeout: 400
// A bank is untrusted input. Hostile schemas (triggers, a view in a table's
// place, a virtual table, an endless trigger) are refused by a restore, by
// an update and by the start, each naming the object, with the learner's
// history as it was and every start returning. The pending restore is
// checked again at the start; a restore keeps the bank it replaces and never
// writes the learner's file; a runaway statement meets the time budget.

#include "BankFixture.h"
#include "FakeDialogs.h"
#include "HttpTestServer.h"
#include "TestEnv.h"
#include "UpdateFixture.h"
#include "maintenance/BackupRestore.h"
#include "maintenance/Update.h"
#include "maintenance/UpdateJob.h"
#include "maintenance/UpdateSwap.h"
#include "mainwin/BankTrouble.h"
#include "mainwin/CategoryTree.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "store/BankBuilder.h"
#include "store/BankCheck.h"
#include "store/BankFile.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/PendingRestore.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include "app/PaperState.h"

#include <QtTest>
#include <random>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

QByteArray readFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QString text(TADOConnection &c, const QString &sql) {
  TADOQuery q(c, QStringLiteral("read"));
  q.SQL.Add(sql);
  q.Open();
  return q.IsEmpty() ? QString() : q.Fields(0).AsString();
}

int records(TADOConnection &c) { return text(c, QStringLiteral("SELECT count(*) FROM 测试结果")).toInt(); }

// The demo bank without its history, as version 2026.02, with `extra` run
// last: what a restore source or an update would bring.
QStringList bankTexts(const QString &extra) {
  QStringList texts;
  for (const QString &file : TestEnv::demoSqlFiles())
    if (!file.endsWith(QLatin1String("80-history.sql")))
      texts << QString::fromUtf8(readFile(file));
  texts << QStringLiteral("UPDATE 系统参数 SET 参数值='2026.02' WHERE 参数名='题库版本';")
        << QStringLiteral("INSERT INTO 测试结果(测试名称,测试类型) VALUES('新题库的记录',1);") << extra;
  return texts;
}

QByteArray bankFile(const QString &extra) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("QBRX.db"));
  BuildBankFromTexts(path, bankTexts(extra));
  return readFile(path);
}

// The file and what the engine would put beside it.
QStringList filesBeside(const QString &path) {
  const QFileInfo info(path);
  return QDir(info.absolutePath()).entryList({info.fileName() + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
}

const QString kEndless = QStringLiteral("(WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM r) SELECT i FROM r)");

} // namespace

class TstHostileBanks : public QObject {
  Q_OBJECT

  // The paper on display of the code under test.
  PaperState m_paperState;
  PaperState &paperState() { return m_paperState; }

  // Each row: the SQL that makes the bank hostile, and the words the refusal
  // must contain (empty: the bank is accepted).
  void schemas() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("named");
    QTest::newRow("trigger on 测试结果")
        << QStringLiteral("CREATE TRIGGER wipe AFTER INSERT ON 测试结果 BEGIN DELETE FROM 测试结果 WHERE 编号 % 2 = 0; END;")
        << QStringLiteral("触发器“wipe”");
    QTest::newRow("trigger on 系统参数 writes")
        << QStringLiteral("CREATE TRIGGER redirect AFTER UPDATE ON 系统参数 BEGIN UPDATE 系统参数 "
                          "SET 参数值='http://127.0.0.1:9/' WHERE 参数名='升级下载地址'; END;")
        << QStringLiteral("触发器“redirect”");
    QTest::newRow("endless recursive trigger")
        << QStringLiteral("CREATE TRIGGER spin BEFORE UPDATE ON 系统参数 BEGIN SELECT count(*) FROM %1; END;").arg(kEndless)
        << QStringLiteral("触发器“spin”");
    QTest::newRow("a view in a table's place")
        << QStringLiteral("DROP TABLE 测试题目; CREATE VIEW 测试题目 AS SELECT 1 AS 测试编号, 1 AS 小题号, 1 AS 回答正确;")
        << QStringLiteral("视图“测试题目”");
    QTest::newRow("a virtual table") << QStringLiteral("CREATE VIRTUAL TABLE 影子 USING fts5(内容);")
                                     << QStringLiteral("虚拟表“影子”");
    QTest::newRow("a generated column")
        << QStringLiteral("ALTER TABLE 小题 ADD COLUMN 算 AS (length(题目内容));") << QStringLiteral("计算列“算”");
    QTest::newRow("a unique index on a table of ours")
        << QStringLiteral("CREATE UNIQUE INDEX 唯一 ON 测试题目(小题号);") << QStringLiteral("唯一索引“唯一”");
    QTest::newRow("an unknown column in a table of ours")
        << QStringLiteral("ALTER TABLE 测试结果 ADD COLUMN 备注 TEXT;") << QStringLiteral("不认识的列“备注”");
    QTest::newRow("an older bank, a column and an index fewer: accepted")
        << QStringLiteral("DROP INDEX 测试结果_测试类型; ALTER TABLE 小题 DROP COLUMN 解释;") << QString();
    QTest::newRow("a table and indexes of its own: accepted")
        << QStringLiteral("CREATE TABLE 笔记(内容); CREATE INDEX 笔记_内容 ON 笔记(内容); CREATE INDEX 小题_答案 ON 小题(答案);")
        << QString();
  }

private slots:
  // Restore: the refusal names the object; the bank in use, the learner's
  // file and the program directory are as they were.
  void restoreRefusesHostileBanks_data() { schemas(); }
  void restoreRefusesHostileBanks() {
    QFETCH(QString, sql);
    QFETCH(QString, named);
    OpenedBank bank;
    const QString bankPath = bank.dm.programDir.bankPath();
    const QByteArray before = readFile(bankPath);
    QTemporaryDir other;
    const QString source = other.filePath(QStringLiteral("来源.db"));
    QVERIFY(writeFile(source, bankFile(sql)));
    const QByteArray sourceBytes = readFile(source);

    QString message;
    try {
      StageRestore(source, bank.dm.programDir);
    } catch (const AppError &e) {
      message = e.message();
    }
    const QString pending = PendingRestorePath(bank.dir.root());
    if (named.isEmpty()) {
      QVERIFY2(message.isEmpty(), qPrintable(message));
      QVERIFY(QFile::exists(pending));
    } else {
      QVERIFY2(message.startsWith(BackupText::NotABank) && message.contains(named), qPrintable(message));
      QVERIFY(RestoreRefusal(source, bank.dm.programDir).contains(named));
      QVERIFY(!QFile::exists(pending));
    }
    QCOMPARE(readFile(source), sourceBytes);
    QCOMPARE(filesBeside(source), QStringList{QStringLiteral("来源.db")});
    QVERIFY(!QFileInfo::exists(RestoreWorkPath(bank.dir.root()).chopped(1)));
    QCOMPARE(readFile(bankPath), before);
  }

  // Update: the bank the update brings is checked before anything changes
  // (the refusal in the failure line), and checked again when the history
  // is to be carried into it (a bank swapped in the staging folder after the
  // first check): the old bank stays in use with every test record.
  void updateRefusesHostileBanks_data() { schemas(); }
  void updateRefusesHostileBanks() {
    QFETCH(QString, sql);
    QFETCH(QString, named);
    OpenedBank bank;
    UpdateFixture::prepareLearner(bank);
    LoadSystemParameters(bank.dm);
    const int history = records(bank.dm.ADOConnection1);
    QVERIFY(history > 0);
    const QByteArray hostile = bankFile(sql);
    const QString root = bank.dir.root();

    RecordingPresenter presenter;
    AppEvents events;
    AppContext context{bank.dm, ProgramDir(root), {}, presenter, paperState(), events, nullptr};
    FakeDialogs dialogs;
    dialogs.defaultAnswer = true;
    HttpTestServer server;
    UpdateFixture::serveNewer(server, hostile);
    UpdateJob job(context);
    job.baseUrl = server.url(QStringLiteral("/update/"));
    QStringList lines;
    connect(&job, &UpdateJob::line, [&](const QString &l) { lines << l; });
    QSignalSpy ended(&job, &UpdateJob::ended);
    job.start();
    QVERIFY(ended.wait(60000));
    if (named.isEmpty()) {
      QVERIFY2(job.updated(), qPrintable(lines.join(QLatin1Char('\n'))));
      QCOMPARE(text(bank.dm.ADOConnection1, QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名='题库版本'")),
               QStringLiteral("2026.02"));
      QCOMPARE(records(bank.dm.ADOConnection1), history);
      return;
    }
    QVERIFY(!job.updated());
    QVERIFY2(lines.last().startsWith(UpdateText::Failed) && lines.last().contains(named),
             qPrintable(lines.join(QLatin1Char('\n'))));
    QVERIFY(!lines.contains(UpdateText::PicturesUnpacked)); // refused before the pictures came
    QCOMPARE(text(bank.dm.ADOConnection1, QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名='题库版本'")),
             QStringLiteral("2026.01"));
    QCOMPARE(records(bank.dm.ADOConnection1), history);
    QVERIFY(ListBackups(ProgramDir(root)).empty());

    // The same bank put in the staging folder after that check.
    const QString staging = UpdateStagingPath(root);
    QVERIFY(QDir().mkpath(staging));
    QVERIFY(writeFile(staging + QStringLiteral("QBRX.db"), hostile));
    QString message;
    try {
      PrepareStagedUpdate(bank.dm.ADOConnection1, ProgramDir(root), staging);
    } catch (const AppError &e) {
      message = e.message();
    }
    QVERIFY2(message.contains(named), qPrintable(message));
    QCOMPARE(readFile(staging + QStringLiteral("QBRX.db")), hostile); // nothing carried into it
    QVERIFY(ListBackups(ProgramDir(root)).empty());
    QCOMPARE(records(bank.dm.ADOConnection1), history);
  }

  // Start: in a child process (a start that hung would be killed and fail
  // the test); the bad-bank message names the object and offers the
  // backups; the file is as it was.
  void startReportsHostileBanks_data() { schemas(); }
  void startReportsHostileBanks() {
    QFETCH(QString, sql);
    QFETCH(QString, named);
    TestEnv::ProgramDirFixture dir(bankTexts(sql));
    const QString bank = dir.path(QStringLiteral("QBRX.db"));
    const QByteArray before = readFile(bank);
    QVERIFY(QDir().mkpath(dir.path(QStringLiteral("backup"))));
    QVERIFY(writeFile(dir.path(QStringLiteral("backup/QBRX-升级前-20260101-080000.db")), bankFile(QString())));

    QProcess child;
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/child_startup"),
                {dir.root(), QStringLiteral("report")});
    const bool returned = child.waitForFinished(60000);
    if (!returned)
      child.kill();
    QVERIFY2(returned, "the start did not return");
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    const QString detail = QString::fromUtf8(child.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
    if (named.isEmpty()) {
      QCOMPARE(child.exitCode(), 10 + int(StartupResult::Opened));
      return;
    }
    QCOMPARE(child.exitCode(), 10 + int(StartupResult::ForeignSchema));
    QVERIFY2(detail.contains(named), qPrintable(detail));
    QCOMPARE(readFile(bank), before);
    QVERIFY(IsBankTrouble(StartupResult::ForeignSchema));
    const QString message = BankTroubleMessage(StartupResult::ForeignSchema, ProgramDir(dir.root()), detail);
    QVERIFY2(message.startsWith(QStringLiteral("打开数据库出现严重的错误，程序将中止！")) && message.contains(named) &&
                 message.contains(QStringLiteral("QBRX-升级前-20260101-080000.db")),
             qPrintable(message));
  }

  // The vendor's tool does not make a bank the program would refuse.
  void theBankToolMakesNoHostileBank() {
    QTemporaryDir dir;
    const QString sql = dir.filePath(QStringLiteral("hostile.sql"));
    QVERIFY(writeFile(sql, "CREATE TRIGGER wipe AFTER INSERT ON 测试结果 BEGIN DELETE FROM 测试题目; END;"));
    const QString out = dir.filePath(QStringLiteral("QBRX.db"));
    QString message;
    try {
      BuildBank(out, {sql});
    } catch (const AppError &e) {
      message = e.message();
    }
    QVERIFY2(message.contains(QStringLiteral("触发器“wipe”")), qPrintable(message));
    QVERIFY(!QFileInfo::exists(out));
  }

  // The pending restore is checked in full again by the next start: a file
  // swapped after the dialog's check goes to QBRX.db.restore-refused, the
  // learner is told, and the bank in use stays. One that passes takes the
  // bank's place, and the bank it replaced is kept in backup/.
  void pendingRestoreIsCheckedAtTheStart_data() {
    QTest::addColumn<QString>("swap");
    QTest::newRow("kept as staged") << "";
    QTest::newRow("noise behind a valid header") << "noise";
    QTest::newRow("a bank with a trigger") << "trigger";
    QTest::newRow("a link to a bank") << "link";
  }
  void pendingRestoreIsCheckedAtTheStart() {
    QFETCH(QString, swap);
    TestEnv::ProgramDirFixture dir;
    const QString root = dir.root();
    const QString pending = PendingRestorePath(root);
    QTemporaryDir other;
    const QString backup = other.filePath(QStringLiteral("备份.db"));
    int atBackup = 0;
    {
      TDataModule1 dm;
      QCOMPARE(OpenBankAtStartup(dm, root), StartupResult::Opened);
      atBackup = records(dm.ADOConnection1);
      BackupBank(dm, backup);
      TADOQuery q(dm.ADOConnection1, QStringLiteral("add"));
      q.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称,测试类型) VALUES('还原前的记录',1)"));
      q.ExecSQL();
      StageRestore(backup, dm.programDir);
    }
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(pending).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), 0600);

    if (swap == QLatin1String("noise")) {
      QByteArray bytes = readFile(pending).left(BankFile::kHeaderSize);
      std::mt19937 random(28);
      for (int i = 0; i < 8192; ++i)
        bytes.append(char(random()));
      QVERIFY(writeFile(pending, bytes));
    } else if (swap == QLatin1String("trigger")) {
      QVERIFY(writeFile(pending, bankFile(QStringLiteral("CREATE TRIGGER wipe AFTER INSERT ON 测试结果 "
                                                         "BEGIN DELETE FROM 测试题目; END;"))));
    } else if (swap == QLatin1String("link")) {
      QVERIFY(QFile::remove(pending));
      QVERIFY(QFile::link(backup, pending));
    }

    TDataModule1 dm;
    QString notice;
    QCOMPARE(OpenBankAtStartup(dm, root, {}, nullptr, &notice), StartupResult::Opened);
    const std::vector<BackupEntry> kept = ListBackups(ProgramDir(root));
    if (swap.isEmpty()) {
      QVERIFY2(notice.isEmpty(), qPrintable(notice));
      QCOMPARE(records(dm.ADOConnection1), atBackup);
      QVERIFY(!QFileInfo::exists(pending));
      QCOMPARE(int(kept.size()), 1);
      QVERIFY(QFileInfo(kept[0].path).fileName().startsWith(QStringLiteral("QBRX-还原前-")));
      TADOConnection replaced;
      replaced.Open(kept[0].path, QByteArray(kDatabasePassword), &kMaskingBlock, TADOConnection::Access::ReadOnly);
      QCOMPARE(records(replaced), atBackup + 1);
      QCOMPARE(text(replaced, QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 测试名称='还原前的记录'")),
               QStringLiteral("1"));
    } else {
      QVERIFY2(notice.contains(QStringLiteral("没有还原")), qPrintable(notice));
      QCOMPARE(records(dm.ADOConnection1), atBackup + 1);
      QVERIFY(!QFileInfo::exists(pending) && !QFileInfo(pending).isSymLink());
      QVERIFY(QFileInfo(pending + QStringLiteral("-refused")).exists() ||
              QFileInfo(pending + QStringLiteral("-refused")).isSymLink());
      QVERIFY(kept.empty());
    }
  }

  // The learner's file is only read: a WAL-mode bank with rows still in its
  // WAL keeps every byte of both files (and gets no -shm beside it), and
  // the restored bank holds those rows. A file far larger than a bank (a
  // sparse one: it reads as a gigabyte of zeros) is refused at once, nothing
  // copied.
  void restoreOnlyReadsTheSource_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("WAL mode with rows in the WAL") << "wal";
    QTest::newRow("sparse file above the limit") << "sparse";
  }
  void restoreOnlyReadsTheSource() {
    QFETCH(QString, kind);
    TestEnv::ProgramDirFixture dir;
    const QString root = dir.root();
    QTemporaryDir other;
    const QString source = other.filePath(QStringLiteral("source.db"));
    const QString copy = other.filePath(QStringLiteral("wal.db"));
    if (kind == QLatin1String("wal")) {
      QVERIFY(writeFile(copy, bankFile(QString())));
      BankFile::registerVfs();
      sqlite3 *w = nullptr;
      QCOMPARE(sqlite3_open_v2(BankFile::openUri(copy, kDatabasePassword, &kMaskingBlock).constData(), &w,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr),
               SQLITE_OK);
      QCOMPARE(sqlite3_exec(w,
                            "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                            "INSERT INTO 测试结果(测试名称,测试类型) VALUES('只在日志里',1);",
                            nullptr, nullptr, nullptr),
               SQLITE_OK);
      // Copied while the writer is open: the rows are in the WAL only.
      QVERIFY(QFile::copy(copy, source));
      QVERIFY(QFile::copy(copy + QStringLiteral("-wal"), source + QStringLiteral("-wal")));
      sqlite3_close(w);
      QCOMPARE(readFile(source).mid(BankFile::kHeaderSize + 18, 2), QByteArray("\x02\x02"));
    } else {
      QFile f(source);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(BankFile::headerPage(kMaskingBlock));
      QVERIFY(f.resize(kMaxBankFileBytes + 1));
    }
    const QStringList beside = filesBeside(source);
    QByteArray bytes;
    for (const QString &name : beside)
      bytes += readFile(other.filePath(name));

    QString message;
    try {
      StageRestore(source, ProgramDir(root));
    } catch (const AppError &e) {
      message = e.message();
    }
    QCOMPARE(filesBeside(source), beside);
    QByteArray after;
    for (const QString &name : beside)
      after += readFile(other.filePath(name));
    QVERIFY(after == bytes);
    QVERIFY(!QFileInfo::exists(RestoreWorkPath(root).chopped(1)));
    if (kind == QLatin1String("sparse")) {
      QVERIFY2(message.startsWith(BackupText::TooLarge), qPrintable(message));
      QVERIFY(!QFileInfo::exists(PendingRestorePath(root)));
      return;
    }
    QVERIFY2(message.isEmpty(), qPrintable(message));
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, root), StartupResult::Opened);
    QCOMPARE(text(dm.ADOConnection1, QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 测试名称='只在日志里'")),
             QStringLiteral("1"));
  }

  // A statement that runs away (an endless query in a trigger on the tree
  // position's write) ends with a Chinese message within its budget; a walk
  // whose rows take longer than the budget in all is no runaway: each step,
  // and each statement run while a row is handled, has its own.
  void runawayStatementMeetsTheBudget() {
    OpenedBank bank;
    TADOConnection &c = bank.dm.ADOConnection1;
    QCOMPARE(c.statementBudget(), kBankStatementBudgetMs);
    c.setStatementBudget(300);
    c.ExecuteScript(QStringLiteral("CREATE TEMP TRIGGER spin BEFORE UPDATE ON 系统参数 BEGIN SELECT count(*) FROM %1; END;")
                        .arg(kEndless));
    try {
      StoreTreeViewIndex(bank.dm, 5);
      QFAIL("the runaway statement ended by itself");
    } catch (const EDatabaseError &e) {
      QCOMPARE(e.code(), SQLITE_INTERRUPT);
      QVERIFY2(e.message().contains(QStringLiteral("时间过长")), qPrintable(e.message()));
    }
    QVERIFY(!c.InTransaction());

    int rows = 0;
    QElapsedTimer walk;
    walk.start();
    TADOQuery q(c, QStringLiteral("walk"));
    q.SQL.Add(QStringLiteral("SELECT 小题号 FROM 小题 ORDER BY 小题号 LIMIT 4"));
    q.OpenForward([&](const TForwardRow &) {
      ++rows;
      QElapsedTimer busy;
      busy.start();
      while (busy.elapsed() < 150) {
      }
      QVERIFY(records(c) > 0);
    });
    QCOMPARE(rows, 4);
    QVERIFY(walk.elapsed() > 300);
  }
};

QBRX_TEST_MAIN(TstHostileBanks)
#include "tst_hostilebanks.moc"
