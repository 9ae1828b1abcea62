// test-links: logic
// The bank file, its shim and the data module, on real files.

#include "BankSynth.h"
#include "TestEnv.h"
#include "store/BankBuilder.h"
#include "store/BankCopy.h"
#include "store/BankFile.h"
#include "store/BankWorker.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/ParametersRepository.h"
#include "store/SystemParameters.h"
#include "store/Transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <cmath>
#include <functional>
#include <future>
#include <limits>
#include <stdexcept>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray blockBytes(const BankFile::Block &b) {
  return QByteArray(reinterpret_cast<const char *>(b.data()), int(b.size()));
}

const char *kSmallBank = R"SQL(
INSERT INTO 系统参数 VALUES('字体','宋体');
INSERT INTO 系统参数 VALUES('字号','14px');
INSERT INTO 系统参数 VALUES('工具栏字号','10px');
INSERT INTO 系统参数 VALUES('背景色','#F9F9F9');
INSERT INTO 系统参数 VALUES('行间距','170');
INSERT INTO 系统参数 VALUES('软件标题','测试题库');
INSERT INTO 系统参数 VALUES('升级下载地址','http://127.0.0.1:9/up/');
INSERT INTO 系统参数 VALUES('题库版本',NULL);
INSERT INTO 系统参数 VALUES('错误反馈网址','http://127.0.0.1:9/dg/');
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏)
  VALUES(7,7,3,'判断题',3,'甲''乙','A','解释',0);
)SQL";

// A small tmpfs mounted on a fresh folder for the length of a test; tests run
// as root here. isValid() is false where mounting is not allowed.
class TmpfsMount {
public:
  explicit TmpfsMount(const QString &dir, const char *options) : m_dir(QFile::encodeName(dir)) {
    QDir().mkpath(dir);
    m_mounted = ::mount("tmpfs", m_dir.constData(), "tmpfs", 0, options) == 0;
  }
  ~TmpfsMount() {
    if (m_mounted)
      ::umount2(m_dir.constData(), MNT_DETACH);
  }
  bool isValid() const { return m_mounted; }
  bool makeReadOnly() {
    return ::mount(nullptr, m_dir.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

private:
  QByteArray m_dir;
  bool m_mounted = false;
};

} // namespace

class TstStore : public QObject {
  Q_OBJECT
  QTemporaryDir m_tmp;
  QString m_bank;

  // A fresh, unmasked copy of the small bank, opened on `dm`.
  void openSmall(TDataModule1 &dm) {
    m_bank = m_tmp.filePath(QStringLiteral("small-%1.db").arg(++m_counter));
    BuildBankFromTexts(m_bank, {QString::fromUtf8(kSmallBank)});
    UnmaskDatabaseFile(m_bank);
    dm.ADOConnection1.Open(m_bank, kDatabasePassword);
  }
  int m_counter = 0;

private slots:
  void init() {
    BankFile::registerVfs();
  }

  void statementsRunAsTheyAreBuilt() {
    TDataModule1 dm;
    openSmall(dm);
    TADOQuery &q = dm.ADOQuery2;
    // A statement split over lines is one statement.
    q.SQL.Add(QStringLiteral("SELECT * FROM 系统参数 WHERE 参数名="));
    q.SQL.Add(QStringLiteral("'字体'"));
    q.Open();
    QCOMPARE(q.RecordCount(), 1);
    QCOMPARE(q.FieldByName(QStringLiteral("参数值")).AsString(), QStringLiteral("宋体"));
    // An IN list with a single number, keywords in any case.
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("Select * From 小题 Where 小题号 IN("));
    q.SQL.Add(QStringLiteral("7)"));
    q.Open();
    QCOMPARE(q.RecordCount(), 1);
    QCOMPARE(q.FieldByName(QStringLiteral("题目内容")).AsString(), QStringLiteral("甲'乙"));
    QCOMPARE(q.FieldByName(QStringLiteral("小题号")).AsInteger(), 7);
    // A null reads as empty text and tests as null.
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名=") + QuotedStr(QStringLiteral("题库版本")));
    q.Open();
    QVERIFY(q.Fields(0).IsNull());
    QCOMPARE(q.Fields(0).AsString(), QString());
  }

  void identityAndFlags() {
    TDataModule1 dm;
    openSmall(dm);
    TADOQuery &q = dm.ADOQuery2;
    for (int i = 0; i < 2; ++i) {
      q.SQL.Clear();
      q.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称,正确率) VALUES(") + QuotedStr(QStringLiteral("它's")) +
                QStringLiteral(",0.333333333333333)"));
      q.ExecSQL();
    }
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT @@Identity"));
    q.Open();
    QCOMPARE(q.RecordCount(), 1);
    QCOMPARE(q.Fields(0).AsString(), QStringLiteral("2"));
    // A flag written as '-1' is stored as an integer, so 回答正确=0 selects
    // the wrong ones and AsBoolean reads the right ones.
    TADOQuery &w = dm.ADOQuery3;
    w.SQL.Add(QStringLiteral("INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(2,7,'-1')"));
    w.ExecSQL();
    w.SQL.Clear();
    w.SQL.Add(QStringLiteral("INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(2,8,0)"));
    w.ExecSQL();
    w.SQL.Clear();
    w.SQL.Add(QStringLiteral("SELECT * FROM 测试题目 WHERE 回答正确=0"));
    w.Open();
    QCOMPARE(w.RecordCount(), 1);
    QCOMPARE(w.FieldByName(QStringLiteral("小题号")).AsInteger(), 8);
    w.SQL.Clear();
    w.SQL.Add(QStringLiteral("SELECT 回答正确, 测试结果.正确率, 测试结果.测试名称 FROM 测试题目, 测试结果 WHERE 小题号=7 AND 测试编号=测试结果.编号"));
    w.Open();
    QVERIFY(w.FieldByName(QStringLiteral("回答正确")).AsBoolean());
    QCOMPARE(w.FieldByName(QStringLiteral("正确率")).AsString(), QStringLiteral("0.333333333333333"));
    QCOMPARE(w.FieldByName(QStringLiteral("测试名称")).AsString(), QStringLiteral("它's"));
  }

  void errorsAreExceptionsWithTheEngineMessage() {
    TDataModule1 dm;
    openSmall(dm);
    TADOQuery &q = dm.ADOQuery2;
    q.SQL.Add(QStringLiteral("SELECT * FROM 不存在"));
    try {
      q.Open();
      QFAIL("no error");
    } catch (const EDatabaseError &e) {
      QVERIFY2(e.message().contains(QStringLiteral("不存在")), qPrintable(e.message()));
    }
    // A second statement smuggled into one query is refused, not run.
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT 1; DELETE FROM 小题"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.Open());
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT count(*) FROM 小题"));
    q.Open();
    QCOMPARE(q.Fields(0).AsInteger(), 1);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.FieldByName(QStringLiteral("没有这个字段")));
  }

  void asIntegerRefusesWhatNoIntegerHolds_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("expected");
    QTest::newRow("real cut towards zero") << QVariant(2.9) << true << 2;
    QTest::newRow("negative real") << QVariant(-2.9) << true << -2;
    QTest::newRow("text") << QVariant(QStringLiteral(" 42 ")) << true << 42;
    QTest::newRow("largest int as real") << QVariant(2147483647.0) << true << 2147483647;
    QTest::newRow("huge real") << QVariant(1e300) << false << 0;
    QTest::newRow("huge negative real") << QVariant(-1e300) << false << 0;
    QTest::newRow("just past int") << QVariant(2147483648.0) << false << 0;
    QTest::newRow("large integer") << QVariant(qint64(1) << 40) << false << 0;
    QTest::newRow("NaN") << QVariant(std::numeric_limits<double>::quiet_NaN()) << false << 0;
    QTest::newRow("infinity") << QVariant(std::numeric_limits<double>::infinity()) << false << 0;
    QTest::newRow("NaN as text") << QVariant(QStringLiteral("nan")) << false << 0;
    QTest::newRow("huge real as text") << QVariant(QStringLiteral("1e30")) << false << 0;
  }
  void asIntegerRefusesWhatNoIntegerHolds() {
    QFETCH(QVariant, value);
    QFETCH(bool, valid);
    QFETCH(int, expected);
    const TField f(value);
    if (valid) {
      QCOMPARE(f.AsInteger(), expected);
      return;
    }
    try {
      f.AsInteger();
      QFAIL("no error");
    } catch (const EDatabaseError &e) {
      QVERIFY2(e.message().contains(QStringLiteral("超出整数的范围")), qPrintable(e.message()));
    }
  }

  // A forward walk's integer readers give what its fields give (or fail as
  // they do), for each kind of stored value and for a column out of range;
  // only a stored integer counts as one for StoredInteger.
  void forwardRowIntegersAsFields() {
    TDataModule1 dm;
    openSmall(dm);
    TADOQuery q(dm.ADOConnection1, QStringLiteral("q"));
    q.SQL.Add(QStringLiteral("SELECT 7, NULL, 2.9, ' 42 ', 'abc', 1099511627776, -3"));
    const auto outcome = [](const std::function<qint64()> &read) {
      try {
        return QString::number(read());
      } catch (const EDatabaseError &) {
        return QStringLiteral("error");
      }
    };
    QStringList small, stored;
    q.OpenForward([&](const TForwardRow &row) {
      for (int c = 0; c <= 7; ++c) {
        QCOMPARE(outcome([&] { return row.LargeInt(c); }), outcome([&] { return row.Fields(c).AsLargeInt(); }));
        QCOMPARE(outcome([&] { return row.Integer(c); }), outcome([&] { return row.Fields(c).AsInteger(); }));
        small << outcome([&] { return row.Integer(c); });
        stored << outcome([&] { return row.StoredInteger(c).value_or(-1); });
      }
    });
    QCOMPARE(small.join(QLatin1Char(' ')), QStringLiteral("7 0 2 42 error error -3 error"));
    QCOMPARE(stored.join(QLatin1Char(' ')), QStringLiteral("7 -1 -1 -1 -1 1099511627776 -3 error"));
  }

  // The engine's errors reach the learner as a Chinese sentence saying what
  // failed and what to do, with the engine's text after it; the rows written
  // before stay.
  void engineErrorsInChinese_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("full disk") << "full" << SQLITE_FULL << QStringLiteral("磁盘空间不足，无法保存。请清理磁盘后重试。");
    QTest::newRow("read-only folder") << "readonly" << SQLITE_READONLY << QStringLiteral("程序目录不可写");
  }
  void engineErrorsInChinese() {
    QFETCH(QString, kind);
    QFETCH(int, code);
    QFETCH(QString, sentence);
    const QString dir = m_tmp.filePath(QStringLiteral("mount-") + kind);
    TmpfsMount mount(dir, "size=512k");
    if (!mount.isValid())
      QSKIP("mounting a small tmpfs needs root (CAP_SYS_ADMIN); the disk-full and read-only cases are not run");
    const QString bank = dir + QStringLiteral("/QBRX.db");
    BuildBankFromTexts(bank, {QString::fromUtf8(kSmallBank)});
    UnmaskDatabaseFile(bank);
    if (kind == QLatin1String("readonly"))
      QVERIFY(mount.makeReadOnly());
    TDataModule1 dm;
    dm.ADOConnection1.Open(bank, kDatabasePassword);
    TADOQuery &q = dm.ADOQuery2;
    q.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称) VALUES(hex(randomblob(400000)))"));
    try {
      q.ExecSQL();
      QFAIL("the write went through");
    } catch (const EDatabaseError &e) {
      QCOMPARE(e.code() & 0xff, code);
      QVERIFY2(e.message().startsWith(sentence), qPrintable(e.message()));
      // The engine's own words follow the sentence.
      QVERIFY2(e.message().contains(QString::fromUtf8(sqlite3_errstr(code)).left(8)), qPrintable(e.message()));
    }
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT count(*) FROM 测试结果"));
    q.Open();
    QCOMPARE(q.Fields(0).AsInteger(), 0);
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT 题目内容 FROM 小题"));
    q.Open();
    QCOMPARE(q.Fields(0).AsString(), QStringLiteral("甲'乙"));
  }

  // A second connection waits for the first one's write (a few seconds)
  // before it reports the bank as busy, in words the learner understands.
  void aBusyBankIsWaitedForThenReported() {
    TDataModule1 first, second;
    openSmall(first);
    second.ADOConnection1.Open(m_bank, kDatabasePassword);
    second.ADOQuery2.SQL.Add(QStringLiteral("PRAGMA busy_timeout"));
    second.ADOQuery2.Open();
    QCOMPARE(second.ADOQuery2.Fields(0).AsInteger(), TADOConnection::kBusyTimeoutMs);
    QVERIFY(TADOConnection::kBusyTimeoutMs >= 2000);
    second.ADOQuery2.SQL.Clear();
    second.ADOQuery2.SQL.Add(QStringLiteral("PRAGMA busy_timeout=20")); // not to wait seconds here
    second.ADOQuery2.Open();
    Transaction writing(first);
    first.ADOQuery2.SQL.Add(QStringLiteral("DELETE FROM 小题"));
    first.ADOQuery2.ExecSQL();
    second.ADOQuery2.SQL.Clear();
    second.ADOQuery2.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称) VALUES('second')"));
    try {
      second.ADOQuery2.ExecSQL();
      QFAIL("wrote beside an open write");
    } catch (const EDatabaseError &e) {
      QCOMPARE(e.code() & 0xff, SQLITE_BUSY);
      QVERIFY2(e.message().startsWith(QStringLiteral("题库正被另一个程序使用")), qPrintable(e.message()));
    }
  }

  void rollbackLeavesNothing() {
    TDataModule1 dm;
    openSmall(dm);
    dm.ADOConnection1.BeginTrans();
    dm.ADOQuery2.SQL.Add(QStringLiteral("DELETE FROM 小题"));
    dm.ADOQuery2.ExecSQL();
    dm.ADOConnection1.RollbackTrans();
    dm.ADOQuery2.SQL.Clear();
    dm.ADOQuery2.SQL.Add(QStringLiteral("SELECT count(*) FROM 小题"));
    dm.ADOQuery2.Open();
    QCOMPARE(dm.ADOQuery2.Fields(0).AsInteger(), 1);
  }

  // Only commit() keeps the writes; leaving the scope by an exception or an
  // early return rolls them back, and a second guard on a connection that
  // already has a transaction open is refused.
  void transactionGuard() {
    TDataModule1 dm;
    openSmall(dm);
    auto count = [&] {
      TADOQuery q(dm.ADOConnection1, QStringLiteral("count"));
      q.SQL.Add(QStringLiteral("SELECT count(*) FROM 测试结果"));
      q.Open();
      return q.Fields(0).AsInteger();
    };
    auto insert = [&] {
      dm.ADOQuery2.SQL.Clear();
      dm.ADOQuery2.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称) VALUES('t')"));
      dm.ADOQuery2.ExecSQL();
    };
    try {
      Transaction t(dm);
      insert();
      throw AppError(QStringLiteral("中途失败"));
    } catch (const AppError &) {
    }
    QVERIFY(!dm.ADOConnection1.InTransaction());
    QCOMPARE(count(), 0);
    {
      Transaction t(dm);
      insert();
      QVERIFY_THROWS_EXCEPTION(EDatabaseError, Transaction(dm.ADOConnection1));
      QVERIFY(dm.ADOConnection1.InTransaction()); // the refused guard undid nothing
      t.commit();
      QVERIFY(t.committed());
    }
    QCOMPARE(count(), 1);
    // A guard that outlives its connection's open transaction stays quiet.
    {
      Transaction t(dm);
      insert();
      dm.ADOConnection1.Close();
    }
    dm.ADOConnection1.Open(m_bank, kDatabasePassword);
    QCOMPARE(count(), 1);
  }

  // The connection is used by one thread at a time: a statement from a
  // thread that does not hold it is refused, not raced; a hand-over lets the
  // other thread work and the first one take it back.
  void connectionBelongsToOneThread() {
    TDataModule1 dm;
    openSmall(dm);
    auto countOn = [&dm]() -> QString {
      try {
        TADOQuery q(dm.ADOConnection1, QStringLiteral("count"));
        q.SQL.Add(QStringLiteral("SELECT count(*) FROM 系统参数"));
        q.Open();
        return q.Fields(0).AsString();
      } catch (const EDatabaseError &e) {
        return e.code() == SQLITE_MISUSE ? QStringLiteral("refused") : e.message();
      }
    };
    const QString count = countOn();
    QCOMPARE(std::async(std::launch::async, countOn).get(), QStringLiteral("refused"));
    dm.ADOConnection1.releaseThread();
    QCOMPARE(countOn(), QStringLiteral("refused"));
    QCOMPARE(std::async(std::launch::async, [&] {
               dm.ADOConnection1.adoptThread();
               const QString c = countOn();
               dm.ADOConnection1.releaseThread();
               return c;
             }).get(),
             count);
    dm.ADOConnection1.adoptThread();
    QCOMPARE(countOn(), count);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             std::async(std::launch::async, [&] { dm.ADOConnection1.adoptThread(); }).get());
  }

  // The worker's two ways to end. Served by the event loop: finished()
  // once, with the connection back on the calling thread and the job's
  // exception kept. Blocking (the start): wait() without serving events
  // takes the connection back, and the finished() already queued is dropped.
  // Without a connection the job runs and the calling thread keeps the bank.
  void bankWorkerHandsTheConnectionOver() {
    TDataModule1 dm;
    openSmall(dm);
    auto countHere = [&dm] {
      TADOQuery q(dm.ADOConnection1, QStringLiteral("count"));
      q.SQL.Add(QStringLiteral("SELECT count(*) FROM 系统参数"));
      q.Open();
      return q.Fields(0).AsInteger();
    };
    const int rows = countHere();

    int read = -1;
    BankWorker served(&dm.ADOConnection1, [&] { read = countHere(); });
    QSignalSpy servedDone(&served, &BankWorker::finished);
    served.start();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, countHere()); // the worker's meanwhile
    QVERIFY(servedDone.wait(10000));
    QCOMPARE(read, rows);
    QVERIFY(!served.error());
    QCOMPARE(countHere(), rows);

    BankWorker blocking(&dm.ADOConnection1, [&] { read = countHere() + 1; });
    QSignalSpy blockingDone(&blocking, &BankWorker::finished);
    blocking.start();
    blocking.wait();
    QCOMPARE(read, rows + 1);
    QCOMPARE(countHere(), rows);
    QCoreApplication::processEvents();
    QCOMPARE(blockingDone.count(), 0);

    BankWorker failing(&dm.ADOConnection1, [] { throw std::runtime_error("job failed"); });
    QSignalSpy failingDone(&failing, &BankWorker::finished);
    failing.start();
    QVERIFY(failingDone.wait(10000));
    QVERIFY(failing.error());
    QCOMPARE(countHere(), rows);

    std::atomic<bool> ran{false};
    BankWorker noBank(nullptr, [&] { ran = true; });
    QSignalSpy noBankDone(&noBank, &BankWorker::finished);
    noBank.start();
    QCOMPARE(countHere(), rows); // the calling thread kept the connection
    QVERIFY(noBankDone.wait(10000));
    QVERIFY(ran);
    QVERIFY(!noBank.error());
  }

  void parametersRepository() {
    TDataModule1 dm;
    openSmall(dm);
    // A caller walking the general query keeps its rows and position.
    TADOQuery &walk = dm.ADOQuery2;
    walk.SQL.Add(QStringLiteral("SELECT 参数名 FROM 系统参数 ORDER BY 参数名"));
    walk.Open();
    walk.Next();
    const QString current = walk.Fields(0).AsString();
    const int rows = walk.RecordCount();

    ParametersRepository params(dm);
    QCOMPARE(params.read(QStringLiteral("字体")), std::optional<QString>(QStringLiteral("宋体")));
    QCOMPARE(params.read(QStringLiteral("题库版本")), std::nullopt); // null
    QCOMPARE(params.read(QStringLiteral("颜色")), std::nullopt);     // no row
    QCOMPARE(params.value(QStringLiteral("颜色")), QString());
    // Quotes in keys and values are data, not statement text.
    const QString key = QStringLiteral("它's 键"), value = QStringLiteral("值' OR '1'='1");
    params.write(key, value);
    QCOMPARE(params.value(key), value);
    params.write(key, QStringLiteral("第二次"));
    params.write(QStringLiteral("字体"), QStringLiteral("黑体"));
    TADOQuery check(dm.ADOConnection1, QStringLiteral("check"));
    check.SQL.Add(QStringLiteral("SELECT count(*), sum(参数名=") + QuotedStr(key) +
                  QStringLiteral(" AND 参数值='第二次'), sum(参数值='黑体') FROM 系统参数"));
    check.Open();
    QCOMPARE(check.Fields(0).AsInteger(), rows + 1); // one row inserted, the rest updated in place
    QCOMPARE(check.Fields(1).AsInteger(), 1);
    QCOMPARE(check.Fields(2).AsInteger(), 1);

    QVERIFY(walk.Active());
    QCOMPARE(walk.RecordCount(), rows);
    QCOMPARE(walk.Fields(0).AsString(), current);
  }

  void maskingWritesExactlyTheBlock() {
    const QString path = m_tmp.filePath(QStringLiteral("mask.bin"));
    QByteArray original(5000, '\0');
    for (int i = 0; i < original.size(); ++i)
      original[i] = char(i * 7 + 3);
    {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(original);
    }
    MaskDatabaseFile(path);
    QByteArray after = readAll(path);
    QCOMPARE(after.size(), original.size());
    QCOMPARE(after.left(66), original.left(66));
    QCOMPARE(after.mid(66, 40), blockBytes(kMaskingBlock));
    QCOMPARE(after.mid(106), original.mid(106));
    UnmaskDatabaseFile(path);
    UnmaskDatabaseFile(path); // idempotent
    after = readAll(path);
    QCOMPARE(after.size(), original.size());
    QCOMPARE(after.mid(66, 40), blockBytes(kGenuineBlock));
    QCOMPARE(after.mid(106), original.mid(106));
    // A missing file is silently ignored.
    MaskDatabaseFile(m_tmp.filePath(QStringLiteral("nothing-here.db")));
    UnmaskDatabaseFile(m_tmp.filePath(QStringLiteral("nothing-here.db")));
    QVERIFY(!QFile::exists(m_tmp.filePath(QStringLiteral("nothing-here.db"))));
  }

  void theBlocksBelongToThePassword() {
    QCOMPARE(BankFile::blockForPassword(kDatabasePassword), kGenuineBlock);
    QVERIFY(kMaskingBlock != kGenuineBlock);
  }

  void theShimRefusesWhatIsNotOpenable_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("code");
    QTest::newRow("masked") << "masked" << SQLITE_AUTH;
    QTest::newRow("wrong password") << "password" << SQLITE_AUTH;
    QTest::newRow("plain sqlite") << "plain" << SQLITE_NOTADB;
    QTest::newRow("short file") << "short" << SQLITE_NOTADB;
    QTest::newRow("missing") << "missing" << SQLITE_CANTOPEN;
  }
  void theShimRefusesWhatIsNotOpenable() {
    QFETCH(QString, state);
    QFETCH(int, code);
    const QString path = m_tmp.filePath(QStringLiteral("refuse-%1.db").arg(state));
    QByteArray password = kDatabasePassword;
    if (state == QLatin1String("masked") || state == QLatin1String("password")) {
      BuildBankFromTexts(path, {QString::fromUtf8(kSmallBank)});
      if (state == QLatin1String("password")) {
        UnmaskDatabaseFile(path);
        password = "not-the-password";
      }
    } else if (state == QLatin1String("plain")) {
      TADOConnection c;
      c.OpenPlain(path, true);
      c.ExecuteScript(QStringLiteral("CREATE TABLE t(x); INSERT INTO t VALUES(1);"));
    } else if (state == QLatin1String("short")) {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(BankFile::magic());
    }
    const QByteArray before = readAll(path);
    TADOConnection c;
    try {
      c.Open(path, password);
      QFAIL("opened");
    } catch (const EDatabaseError &e) {
      QCOMPARE(e.code(), code);
    }
    QVERIFY(!c.Connected());
    QCOMPARE(readAll(path), before); // a refused file is not written to
  }

  void hiddenHeaderAndPlainExport() {
    const QString path = m_tmp.filePath(QStringLiteral("export.db"));
    BuildBankFromTexts(path, {QString::fromUtf8(kSmallBank)});
    const QByteArray bank = readAll(path);
    QCOMPARE(bank.left(16), BankFile::magic());
    QCOMPARE(bank.mid(66, 40), blockBytes(kMaskingBlock));
    QCOMPARE(bank.mid(4096, 16), QByteArray("SQLite format 3\0", 16));
    const QString plain = m_tmp.filePath(QStringLiteral("export.sqlite"));
    ExportBank(path, plain);
    QCOMPARE(readAll(path), bank); // exporting leaves the bank alone
    TADOConnection c;
    c.OpenPlain(plain);
    TADOQuery q(c, QStringLiteral("q"));
    q.SQL.Add(QStringLiteral("SELECT 题目内容 FROM 小题"));
    q.Open();
    QCOMPARE(q.Fields(0).AsString(), QStringLiteral("甲'乙"));
  }

  // The running program copies its own open bank (backups): not while its
  // own transaction is open, never onto the bank itself, and the copy is a
  // masked bank with every committed row.
  void copyFromTheOpenConnection() {
    TDataModule1 dm;
    openSmall(dm);
    const QString copy = m_tmp.filePath(QStringLiteral("backup-%1.db").arg(m_counter));
    {
      Transaction t(dm);
      dm.ADOQuery2.SQL.Add(QStringLiteral("INSERT INTO 测试结果(测试名称) VALUES('未提交')"));
      dm.ADOQuery2.ExecSQL();
      QVERIFY_THROWS_EXCEPTION(EDatabaseError, CopyBank(dm.ADOConnection1, copy, BankCopyFormat::Bank));
    }
    QVERIFY(!QFile::exists(copy));
    const QByteArray before = readAll(m_bank);
    QVERIFY_THROWS_EXCEPTION(FileError, CopyBank(dm.ADOConnection1, m_bank, BankCopyFormat::Bank));
    QCOMPARE(readAll(m_bank), before);
    CopyBank(dm.ADOConnection1, copy, BankCopyFormat::Bank);
    QCOMPARE(readAll(copy).mid(66, 40), blockBytes(kMaskingBlock));
    UnmaskDatabaseFile(copy);
    TADOConnection c;
    c.Open(copy, kDatabasePassword);
    TADOQuery q(c, QStringLiteral("q"));
    q.SQL.Add(QStringLiteral("SELECT (SELECT 题目内容 FROM 小题), (SELECT count(*) FROM 测试结果)"));
    q.Open();
    QCOMPARE(q.Fields(0).AsString(), QStringLiteral("甲'乙"));
    QCOMPARE(q.Fields(1).AsInteger(), 0);
  }

  // The bank reached by another name (a linked folder, a link to the file,
  // a hard link) is the bank itself: a copy onto it is refused, from a path
  // and from the open connection, and the bank stays as it was.
  void copyOntoTheBankUnderAnotherNameIsRefused() {
    QTemporaryDir dir;
    const QString real = dir.filePath(QStringLiteral("real"));
    QVERIFY(QDir().mkdir(real));
    QVERIFY(QFile::link(real, dir.filePath(QStringLiteral("link"))));
    const QString bank = real + QStringLiteral("/QBRX.db");
    BuildBankFromTexts(bank, {QString::fromUtf8(kSmallBank)});
    QVERIFY(QFile::link(bank, dir.filePath(QStringLiteral("file-link.db"))));
    QCOMPARE(::link(QFile::encodeName(bank).constData(), QFile::encodeName(dir.filePath(QStringLiteral("hard.db"))).constData()), 0);
    const QByteArray before = readAll(bank);
    TADOConnection open;
    open.Open(bank, kDatabasePassword, &kMaskingBlock);
    for (const char *other : {"link/QBRX.db", "file-link.db", "hard.db"}) {
      const QString target = dir.filePath(QString::fromUtf8(other));
      for (bool fromConnection : {false, true}) {
        try {
          if (fromConnection)
            CopyBank(open, target, BankCopyFormat::Plain);
          else
            CopyBank(bank, target, BankCopyFormat::Plain);
          QFAIL(qPrintable(QStringLiteral("copied onto the bank as %1").arg(target)));
        } catch (const FileError &e) {
          QCOMPARE(e.message(), QStringLiteral("副本不能写在题库 %1 本身上").arg(target));
        }
        QCOMPARE(readAll(bank), before);
      }
    }
    // A new file beside the bank, through the link, is an ordinary copy.
    CopyBank(open, dir.filePath(QStringLiteral("link/copy.db")), BankCopyFormat::Bank);
    QCOMPARE(readAll(real + QStringLiteral("/copy.db")).mid(66, 40), blockBytes(kMaskingBlock));
    QCOMPARE(readAll(bank), before);
  }

  void bankToolBuildsFromHandWrittenSql() {
    const QString sql = m_tmp.filePath(QStringLiteral("hand.sql"));
    {
      QFile f(sql);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(kSmallBank);
    }
    const QString out = m_tmp.filePath(QStringLiteral("tool.db"));
    QProcess tool;
    tool.start(qEnvironmentVariable("QBRX_BANK_TOOL"), {QStringLiteral("build"), out, sql});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(readAll(out).mid(66, 40), blockBytes(kMaskingBlock));
    // A broken file fails the build and leaves no bank behind.
    {
      QFile f(sql);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("INSERT INTO 不存在 VALUES(1);");
    }
    const QString bad = m_tmp.filePath(QStringLiteral("bad.db"));
    tool.start(qEnvironmentVariable("QBRX_BANK_TOOL"), {QStringLiteral("build"), bad, sql});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 1);
    QVERIFY(!QFile::exists(bad));
    QVERIFY(!QFile::exists(bad + QStringLiteral(".partial")));
  }

  // Bad input to the bank tool gets a clear message and leaves no file; a
  // file without statements and allowed markup problems are warnings.
  void bankToolRefusesBadInput_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("NUL byte in an SQL file") << "nul" << 1 << "bad.sql 在字节偏移 52 处有一个 NUL 字节";
    QTest::newRow("output is a folder") << "folder" << 1 << "是一个文件夹";
    QTest::newRow("output in a missing folder") << "missing" << 1 << "不存在";
    QTest::newRow("markup that swallows the page") << "markup" << 1
        << "表“小题”第 9 行（小题号=9）字段“题目内容”第 3 个字符：“<textarea>”没有结束标记";
    QTest::newRow("markup allowed as warnings") << "markup-allowed" << 0 << "警告：表“小题”第 9 行";
    QTest::newRow("comment-only SQL file") << "empty" << 0 << "警告：" ;
    QTest::newRow("export of a FIFO") << "fifo" << 1 << "不是普通文件";
    QTest::newRow("export of a bank of a newer format") << "newer" << 1 << "题库文件的格式版本是 7，本程序只能打开格式版本 1";
  }
  void bankToolRefusesBadInput() {
    QFETCH(QString, kind);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString sql = dir.filePath(QStringLiteral("bad.sql"));
    QByteArray text = kSmallBank;
    if (kind == QLatin1String("nul"))
      text = QByteArray("INSERT INTO 系统参数 VALUES('颜色','#000000');") + '\0' + text; // NUL at byte 52
    else if (kind.startsWith(QLatin1String("markup")))
      text += "INSERT INTO 小题(小题号,题目内容) VALUES(9,'题干<textarea>');";
    else if (kind == QLatin1String("empty"))
      text = "-- 只有注释\n/* 没有语句 */\n";
    QCOMPARE(text.indexOf('\0') >= 0, kind == QLatin1String("nul"));
    {
      QFile f(sql);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(text);
    }
    QString out = dir.filePath(QStringLiteral("out.db"));
    QStringList args{QStringLiteral("build"), out, sql};
    if (kind == QLatin1String("folder")) {
      out = dir.filePath(QStringLiteral("folder"));
      QVERIFY(QDir().mkdir(out));
      args[1] = out;
    } else if (kind == QLatin1String("missing")) {
      out = dir.filePath(QStringLiteral("nothing/out.db"));
      args[1] = out;
    } else if (kind == QLatin1String("markup-allowed")) {
      args.insert(2, QStringLiteral("--allow-markup-warnings"));
    } else if (kind == QLatin1String("fifo")) {
      const QString fifo = dir.filePath(QStringLiteral("fifo.db"));
      QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
      args = QStringList{QStringLiteral("export"), fifo, out};
    } else if (kind == QLatin1String("newer")) {
      const QString newer = dir.filePath(QStringLiteral("newer.db"));
      BuildBankFromTexts(newer, {QString::fromUtf8(kSmallBank)});
      QFile f(newer);
      QVERIFY(f.open(QIODevice::ReadWrite));
      f.seek(16);
      f.write(QByteArray("\x07\0\0\0", 4));
      f.close();
      args = QStringList{QStringLiteral("export"), newer, out};
    }
    QProcess tool;
    tool.start(qEnvironmentVariable("QBRX_BANK_TOOL"), args);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), exitCode);
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
    if (kind == QLatin1String("empty"))
      QVERIFY2(err.contains(sql), qPrintable(err));
    QCOMPARE(QFileInfo(out).isFile(), exitCode == 0);
    QVERIFY(QDir(dir.path()).entryList({QStringLiteral("*.partial*")}, QDir::AllEntries).isEmpty());
  }

  // A new build replaces an existing bank in one rename: a reader that has
  // the old file open keeps reading the old file, and the path names the new
  // one; a failing build leaves the old bank as it was.
  void bankToolReplacesTheBankAtomically() {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.db"));
    BuildBankFromTexts(out, {QString::fromUtf8(kSmallBank)});
    const QByteArray old = readAll(out);
    QFile held(out);
    QVERIFY(held.open(QIODevice::ReadOnly));
    const QString sql = dir.filePath(QStringLiteral("more.sql"));
    auto build = [&](const QByteArray &text) {
      QFile f(sql);
      f.open(QIODevice::WriteOnly | QIODevice::Truncate);
      f.write(text);
      f.close();
      QProcess tool;
      tool.start(qEnvironmentVariable("QBRX_BANK_TOOL"), {QStringLiteral("build"), out, sql});
      tool.waitForFinished(60000);
      return tool.exitCode();
    };
    QCOMPARE(build("INSERT INTO 不存在 VALUES(1);"), 1);
    QCOMPARE(readAll(out), old);
    QCOMPARE(build(QByteArray(kSmallBank) + "INSERT INTO 大题 VALUES(1,'新');"), 0);
    QVERIFY(readAll(out) != old);
    QCOMPARE(held.readAll(), old);
  }

  // A script is read where it lies: the engine never takes a copy of the
  // rest of the script per statement (a build then grew with the square of
  // its script), and a NUL byte, which would end its reading there, is
  // refused with its offset instead of dropping the rest.
  void aScriptIsReadInPlace() {
    TADOConnection c;
    c.OpenPlain(m_tmp.filePath(QStringLiteral("script.sqlite")), true);
    QString script = QStringLiteral("CREATE TABLE t(a);\n");
    const QString comment(1000, QLatin1Char('x'));
    for (int i = 0; i < 1000; ++i)
      script += QStringLiteral("INSERT INTO t VALUES(%1); -- %2\n").arg(i).arg(comment);
    int current = 0, largest = 0;
    sqlite3_status(SQLITE_STATUS_MALLOC_SIZE, &current, &largest, 1);
    QCOMPARE(c.ExecuteScript(script), 1001);
    sqlite3_status(SQLITE_STATUS_MALLOC_SIZE, &current, &largest, 0);
    QVERIFY(largest > 0); // the engine keeps its statistics
    QVERIFY2(largest < script.size() / 10, qPrintable(QStringLiteral("largest allocation %1 bytes").arg(largest)));

    const QString withNul = QStringLiteral("INSERT INTO t VALUES(-1);") + QChar(0) + QStringLiteral("INSERT INTO t VALUES(-2);");
    try {
      c.ExecuteScript(withNul);
      QFAIL("a NUL byte was read past");
    } catch (const EDatabaseError &e) {
      QVERIFY2(e.message().contains(QStringLiteral("字节偏移 25 处有一个 NUL 字节")), qPrintable(e.message()));
    }
    TADOQuery q(c, QStringLiteral("q"));
    q.SQL.Add(QStringLiteral("SELECT count(*), min(a) FROM t"));
    q.Open();
    QCOMPARE(q.Fields(0).AsInteger(), 1000);
    QCOMPARE(q.Fields(1).AsInteger(), 0);
  }

  // The synthetic history looks like a learner's: every stored kind with the
  // names the program gives them, chapter tests that repeat a section's
  // name, wrong answers in stand-alone and case sub-questions, favourites
  // papers made of favourites, and nothing the program would not store.
  void synthesizedTestHistory() {
    const QString path = m_tmp.filePath(QStringLiteral("synth.db"));
    SynthesizeBank(path, 3000, 5, 300);
    UnmaskDatabaseFile(path);
    TDataModule1 dm;
    dm.ADOConnection1.Open(path, kDatabasePassword);
    auto value = [&](const QString &sql) {
      TADOQuery q(dm.ADOConnection1, QStringLiteral("q"));
      q.SQL.Add(sql);
      q.Open();
      return q.Fields(0).AsString();
    };
    QCOMPARE(value(QStringLiteral("SELECT count(*) FROM 测试结果")), QStringLiteral("300"));
    QCOMPARE(value(QStringLiteral("SELECT group_concat(k) FROM (SELECT DISTINCT 测试类型 k FROM 测试结果 ORDER BY 1)")),
             QStringLiteral("1,2,4,5"));
    QCOMPARE(value(QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 测试类型=1 AND 测试名称 NOT IN(SELECT 名称 FROM 题目类别 WHERE 编号=所属章节)")),
             QStringLiteral("0"));
    QVERIFY(value(QStringLiteral("SELECT max(n) FROM (SELECT count(*) n FROM 测试结果 WHERE 测试类型=1 GROUP BY 测试名称)")).toInt() > 1);
    QCOMPARE(value(QStringLiteral("SELECT count(*) FROM 测试结果 WHERE (测试类型=2 AND 测试名称 NOT LIKE '模拟考场(____-__-__ __:__:__)') OR "
                                  "(测试类型=4 AND 测试名称 NOT LIKE '收藏试题(%)') OR (测试类型=5 AND 测试名称 NOT LIKE '温故知新(%)')")),
             QStringLiteral("0"));
    // Wrong answers in stand-alone and in case sub-questions.
    QVERIFY(value(QStringLiteral("SELECT count(*) FROM 测试题目 t, 小题 x WHERE t.小题号=x.小题号 AND 回答正确=0 AND x.大题号=x.小题号 AND x.小题号 NOT IN(SELECT 大题号 FROM 大题)")).toInt() > 0);
    QVERIFY(value(QStringLiteral("SELECT count(*) FROM 测试题目 t, 小题 x WHERE t.小题号=x.小题号 AND 回答正确=0 AND x.大题号 IN(SELECT 大题号 FROM 大题)")).toInt() > 0);
    QCOMPARE(value(QStringLiteral("SELECT count(*) FROM 测试题目 WHERE 回答正确 NOT IN(0,-1) OR 小题号 NOT IN(SELECT 小题号 FROM 小题)")),
             QStringLiteral("0"));
    QCOMPARE(value(QStringLiteral("SELECT count(*) FROM 测试题目 t, 测试结果 r, 小题 x WHERE t.测试编号=r.编号 AND r.测试类型=4 AND x.小题号=t.小题号 AND x.是否收藏<>1")),
             QStringLiteral("0"));
    QCOMPARE(value(QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 答对>试题数 OR abs(正确率-得分/总分)>1e-9 OR 测试时间 NOT LIKE '____-__-__ __:__:__'")),
             QStringLiteral("0"));
  }

  void loadParameters() {
    TDataModule1 dm;
    openSmall(dm);
    UpdateUrl = QStringLiteral("kept");
    BankVersion = QStringLiteral("2025.09");
    LoadSystemParameters(dm);
    QCOMPARE(DisplaySettings.FontName, QStringLiteral("宋体"));
    QCOMPARE(DisplaySettings.ToolbarFontSize, QStringLiteral("10px"));
    QCOMPARE(DisplaySettings.FontColor, QString()); // no 颜色 row
    QCOMPARE(HtmlToColor(DisplaySettings.FontColor), TColor(0));
    QCOMPARE(SoftTitle, QStringLiteral("测试题库"));
    QCOMPARE(UpdateUrl, QStringLiteral("http://127.0.0.1:9/up/"));
    QCOMPARE(BankVersion, QStringLiteral("2025.09")); // null keeps the old value
    QCOMPARE(FeedbackUrl, QStringLiteral("http://127.0.0.1:9/dg/"));
    QCOMPARE(ValueAddedUrl, QString()); // no row
    // A reload from a bank without 升级下载地址 keeps the address.
    dm.ADOQuery3.SQL.Add(QStringLiteral("DELETE FROM 系统参数 WHERE 参数名='升级下载地址'"));
    dm.ADOQuery3.ExecSQL();
    LoadSystemParameters(dm);
    QCOMPARE(UpdateUrl, QStringLiteral("http://127.0.0.1:9/up/"));
  }

  void htmlToColor_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::newRow("hash") << "#F9F9F9" << 249 << 249 << 249;
    QTest::newRow("bare") << "F9F9F9" << 249 << 249 << 249;
    QTest::newRow("empty") << "" << 0 << 0 << 0;
    QTest::newRow("quoted green") << "\"#00FF00\"" << 0 << 255 << 0;
    QTest::newRow("lower case") << "#0a0b0c" << 10 << 11 << 12;
    QTest::newRow("three spaces removed") << "#12   3456" << 0x12 << 0x34 << 0x56;
    QTest::newRow("not hex") << "#GG1020" << 0 << 16 << 32;
    QTest::newRow("short") << "#1020" << 16 << 32 << 0;
    QTest::newRow("odd") << "#10203" << 16 << 32 << 3;
  }
  void htmlToColor() {
    QFETCH(QString, text);
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QCOMPARE(HtmlToColor(text), TColor(r | (g << 8) | (b << 16)));
  }

  void colorToHtml() {
    QCOMPARE(ColorToHtml(QColor(1, 2, 3)), QStringLiteral("#010203"));
    QCOMPARE(ColorToHtml(QColor(Qt::red)), QStringLiteral("#FF0000"));
    QCOMPARE(ColorToHtml(HtmlToColor(QStringLiteral("#abcdef"))), QStringLiteral("#ABCDEF"));
  }
};

QBRX_TEST_MAIN(TstStore)
#include "tst_store.moc"
