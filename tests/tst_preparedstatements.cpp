// test-links: logic
// Statements run with bound values: prepared once per text on the
// connection, and never handing back a row or a lock from an earlier run.

#include "TestEnv.h"
#include "store/BankBuilder.h"
#include "store/BankFile.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

namespace {

const char *kBank = R"SQL(
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏)
  VALUES(7,7,3,'判断题',3,'甲''乙','A','解释',0);
INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,解释,是否收藏)
  VALUES(8,8,3,'单项选择题',1,'丙','B','',1);
)SQL";

QString stemOf(TADOQuery &q, qint64 number) {
  q.Close();
  q.SQL.Clear();
  q.SQL.Add(QStringLiteral("SELECT 题目内容 FROM 小题 WHERE 小题号=?"));
  q.openWith({number});
  return q.IsEmpty() ? QStringLiteral("<none>") : q.Fields(0).AsString();
}

} // namespace

class TstPreparedStatements : public QObject {
  Q_OBJECT
  QTemporaryDir m_tmp;
  QString m_bank;
  int m_counter = 0;

  void openFresh(TADOConnection &c) {
    m_bank = m_tmp.filePath(QStringLiteral("bank-%1.db").arg(++m_counter));
    BuildBankFromTexts(m_bank, {QString::fromUtf8(kBank)});
    UnmaskDatabaseFile(m_bank);
    c.Open(m_bank, kDatabasePassword);
  }

private slots:
  void init() { BankFile::registerVfs(); }

  // One text, many values: one preparation; every run sees the rows as they
  // are now, after writes through other queries and after a rollback.
  void reusedStatementSeesEveryWrite() {
    TDataModule1 dm;
    openFresh(dm.ADOConnection1);
    TADOQuery &q = dm.ADOQuery1;
    QCOMPARE(stemOf(q, 7), QStringLiteral("甲'乙"));
    QCOMPARE(stemOf(q, 8), QStringLiteral("丙"));
    QCOMPARE(stemOf(q, 9), QStringLiteral("<none>"));
    QCOMPARE(dm.ADOConnection1.preparedStatementCount(), 1);

    // A text value binds as the quoted literal would read: quotes and all.
    TADOQuery &w = dm.ADOQuery2;
    w.SQL.Add(QStringLiteral("UPDATE 小题 SET 题目内容=? WHERE 小题号=?"));
    w.execSQLWith({QStringLiteral("它's 新"), qint64(7)});
    QCOMPARE(w.RowsAffected(), 1);
    QCOMPARE(stemOf(q, 7), QStringLiteral("它's 新"));
    w.SQL.Clear();
    w.SQL.Add(QStringLiteral("SELECT 小题号 FROM 小题 WHERE 题目内容=?"));
    w.openWith({QStringLiteral("它's 新")});
    QCOMPARE(w.RecordCount(), 1);
    QCOMPARE(w.Fields(0).AsInteger(), 7);

    // A write through a plain statement, and one rolled back.
    w.Close();
    w.SQL.Clear();
    w.SQL.Add(QStringLiteral("DELETE FROM 小题 WHERE 小题号=8"));
    w.ExecSQL();
    QCOMPARE(stemOf(q, 8), QStringLiteral("<none>"));
    dm.ADOConnection1.BeginTrans();
    w.SQL.Clear();
    w.SQL.Add(QStringLiteral("UPDATE 小题 SET 题目内容='回滚' WHERE 小题号=7"));
    w.ExecSQL();
    QCOMPARE(stemOf(q, 7), QStringLiteral("回滚"));
    dm.ADOConnection1.RollbackTrans();
    QCOMPARE(stemOf(q, 7), QStringLiteral("它's 新"));
    QCOMPARE(dm.ADOConnection1.preparedStatementCount(), 3);
  }

  // A kept statement holds no read lock between runs: another connection
  // can write the file, and the next run reads what it wrote.
  void keptStatementHoldsNoLock() {
    TDataModule1 dm;
    openFresh(dm.ADOConnection1);
    QCOMPARE(stemOf(dm.ADOQuery1, 7), QStringLiteral("甲'乙"));

    TADOConnection other;
    other.Open(m_bank, kDatabasePassword);
    TADOQuery w(other, QStringLiteral("w"));
    other.BeginTrans();
    w.SQL.Add(QStringLiteral("UPDATE 小题 SET 题目内容='别处' WHERE 小题号=7"));
    w.ExecSQL();
    other.CommitTrans(); // SQLITE_BUSY while a reader of the file is pending
    QCOMPARE(stemOf(dm.ADOQuery1, 7), QStringLiteral("别处"));
  }

  // The engine prepares a kept statement again when the schema changed under
  // it: the columns are read as they are after that (a table rebuilt with
  // its columns swapped, a column added), not as they were.
  void keptStatementFollowsTheSchema() {
    TDataModule1 dm;
    openFresh(dm.ADOConnection1);
    TADOConnection &c = dm.ADOConnection1;
    c.ExecuteScript(QStringLiteral("CREATE TABLE 表(甲, 乙); INSERT INTO 表 VALUES('甲值', '乙值');"));
    TADOQuery &q = dm.ADOQuery1;
    q.SQL.Add(QStringLiteral("SELECT * FROM 表 WHERE rowid=?"));
    auto read = [&] {
      q.openWith({qint64(1)});
      QStringList values;
      for (const QString &name : q.FieldNames())
        values << name + QLatin1Char('=') + q.FieldByName(name).AsString();
      return values.join(QLatin1Char(' '));
    };
    QCOMPARE(read(), QStringLiteral("甲=甲值 乙=乙值"));
    c.ExecuteScript(QStringLiteral("DROP TABLE 表; CREATE TABLE 表(乙, 甲); INSERT INTO 表 VALUES('乙值', '甲值');"));
    QCOMPARE(read(), QStringLiteral("乙=乙值 甲=甲值"));
    QCOMPARE(q.FieldByName(QStringLiteral("甲")).AsString(), QStringLiteral("甲值"));
    c.ExecuteScript(QStringLiteral("ALTER TABLE 表 ADD COLUMN 丙 DEFAULT '丙值';"));
    QCOMPARE(read(), QStringLiteral("乙=乙值 甲=甲值 丙=丙值"));
    QCOMPARE(c.preparedStatementCount(), 1);
  }

  // Failures leave the kept statement ready for the next run; closing the
  // connection lets go of every kept statement.
  void failuresAndCloseLeaveNothingBehind() {
    TDataModule1 dm;
    openFresh(dm.ADOConnection1);
    TADOQuery &q = dm.ADOQuery1;
    q.SQL.Add(QStringLiteral("SELECT 题目内容 FROM 小题 WHERE 小题号=?"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.openWith({}));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.openWith({qint64(7), qint64(8)}));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.openWith({QVariant(QSize(1, 1))}));
    QVERIFY(!q.Active());

    TADOQuery &w = dm.ADOQuery2;
    w.SQL.Add(QStringLiteral("INSERT INTO 小题(小题号,题目内容) VALUES(?,?)"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, w.execSQLWith({qint64(7), QStringLiteral("重复")}));
    w.execSQLWith({qint64(9), QVariant()});
    QCOMPARE(stemOf(q, 9), QString()); // NULL reads as empty text
    QVERIFY(q.Fields(0).IsNull());

    // Two statements in one text are refused before anything runs.
    w.SQL.Clear();
    w.SQL.Add(QStringLiteral("SELECT ?; DELETE FROM 小题"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, w.openWith({qint64(1)}));
    QCOMPARE(stemOf(q, 8), QStringLiteral("丙"));

    QVERIFY(dm.ADOConnection1.preparedStatementCount() > 0);
    dm.ADOConnection1.Close();
    QCOMPARE(dm.ADOConnection1.preparedStatementCount(), 0);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, stemOf(q, 7));
    dm.ADOConnection1.Open(m_bank, kDatabasePassword);
    QCOMPARE(stemOf(q, 7), QStringLiteral("甲'乙"));
  }
};

QBRX_TEST_MAIN(TstPreparedStatements)
#include "tst_preparedstatements.moc"
