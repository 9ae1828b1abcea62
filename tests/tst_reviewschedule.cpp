// test-links: logic
// The review schedule: the memory model on synthetic histories, the live
// updates of stored tests beside the replay of the history, the bank's
// first start, an update's carrying-over and the bank tool's due list.

#include "BankFixture.h"
#include "TestEnv.h"
#include "exam/TestRecordStore.h"
#include "maintenance/UpdateSwap.h"
#include "review/PastTests.h"
#include "review/Statistics.h"
#include "store/BankSchema.h"
#include "store/DM.h"
#include "store/EncryptionMDB.h"
#include "store/ReviewSchedule.h"

#include <QProcess>
#include <QtTest>

namespace {

// Questions 5, 6, 7 stand alone in section 100; 21 and 22 belong to case 20.
const QString kQuestions = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),(10,'章',1,'1'),(100,'第一节 概述',10,'2');\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案) VALUES"
    "(5,5,100,'单项选择题',1,'题五','A'),(6,6,100,'单项选择题',1,'题六','A'),(7,7,100,'判断题',2,'题七','A'),"
    "(20,20,100,'案例分析题',9,'案例二十','A'),(21,20,100,'单项选择题',9,'二十之一','A'),"
    "(22,20,100,'单项选择题',9,'二十之二','A');\n");

const QDate kDay0(2026, 3, 2);

QString timeOn(qint64 offset, const QString &clock = QStringLiteral("09:30:00")) {
  return kDay0.addDays(offset).toString(QStringLiteral("yyyy-MM-dd ")) + clock;
}

// A history as "0x 1o 3o": the day (from kDay0) of each answer, x wrong, o right.
std::optional<ReviewEntry> run(const QString &history) {
  std::optional<ReviewEntry> e;
  for (const QString &step : history.split(QLatin1Char(' '), Qt::SkipEmptyParts))
    ApplyReviewAnswer(e, step.endsWith(QLatin1Char('o')), timeOn(step.chopped(1).toInt()));
  return e;
}

TestOutcome outcome(qint16 kind, const std::vector<TestQuestionRow> &rows, quint32 redo = 0) {
  TestOutcome o;
  o.kind = kind;
  o.title = QStringLiteral("测试");
  o.redoTestId = redo;
  o.totals.SumNumOfShiTi = int(rows.size());
  o.questions = rows;
  return o;
}

QDateTime at(qint64 offset) { return QDateTime(kDay0.addDays(offset), QTime(20, 15)); }

// The schedule as text, one row a line, values as stored.
QStringList scheduleRows(TADOConnection &c) {
  TADOQuery q(c, QStringLiteral("rows"));
  q.SQL.Add(QStringLiteral("SELECT 小题号,稳定性,难度,上次复习,到期,错次 FROM 复习计划 ORDER BY 小题号"));
  q.Open();
  QStringList out;
  for (q.First(); !q.Eof(); q.Next()) {
    QStringList row;
    for (int i = 0; i < 6; ++i)
      row << q.Fields(i).Value().toString();
    out << row.join(QLatin1Char('|'));
  }
  return out;
}

QStringList dueText(TADOConnection &c, const QDate &on) {
  QStringList out;
  for (const DueQuestion &d : ReviewSchedule::dueQuestions(c, on))
    out << QStringLiteral("%1 %2 %3 %4 %5").arg(d.xiaoTiHao).arg(d.chapter, d.content, d.due).arg(d.lapses);
  return out;
}

} // namespace

class TestReviewSchedule : public QObject {
  Q_OBJECT
private slots:
  // One question's answers on known days: where its due date lands.
  void singleQuestion_data() {
    QTest::addColumn<QString>("history");
    QTest::addColumn<int>("due"); // days after kDay0; -1: never scheduled
    QTest::addColumn<int>("lapses");
    QTest::newRow("wrong once: the next day") << "0x" << 1 << 1;
    QTest::newRow("never wrong: never due") << "0o 4o 9o" << -1 << 0;
    QTest::newRow("right before the first wrong counts for nothing") << "0o 3x" << 4 << 1;
    QTest::newRow("the same day's right redo keeps tomorrow") << "0x 0o" << 1 << 1;
    QTest::newRow("wrong again after two rights: next day") << "0x 1o 3o 9x" << 10 << 2;
    QTest::newRow("two wrongs the same day count twice") << "0x 0x" << 1 << 2;
    QTest::newRow("a right answer long overdue moves it out") << "0x 40o" << 52 << 1;
  }
  void singleQuestion() {
    QFETCH(QString, history);
    QFETCH(int, due);
    QFETCH(int, lapses);
    const std::optional<ReviewEntry> e = run(history);
    if (due < 0) {
      QVERIFY(!e);
      return;
    }
    QVERIFY(e);
    QCOMPARE(e->dueDay - kDay0.toJulianDay(), qint64(due));
    QCOMPARE(e->lapses, lapses);
    QVERIFY(e->stability > 0 && e->difficulty >= 1 && e->difficulty <= 10);
  }

  // Wrong on day 0, then right on each due date: every gap is longer than
  // the one before; an early right answer never brings the date nearer.
  void gapsGrowAndNeverShrink() {
    std::optional<ReviewEntry> e;
    ApplyReviewAnswer(e, false, timeOn(0));
    qint64 day = 0, lastGap = 0;
    QList<qint64> gaps;
    for (int i = 0; i < 12; ++i) {
      const qint64 gap = e->dueDay - kDay0.toJulianDay() - day;
      QVERIFY2(gap > lastGap, qPrintable(QStringLiteral("gaps %1").arg(QString::number(gap))));
      gaps << gap;
      lastGap = gap;
      day += gap;
      ApplyReviewAnswer(e, true, timeOn(day));
    }
    QVERIFY2(gaps.last() >= 60, "a question answered right a dozen times comes back after months");
    const qint64 due = e->dueDay;
    ApplyReviewAnswer(e, true, timeOn(day + 1));
    QVERIFY(e->dueDay >= due);
    ApplyReviewAnswer(e, false, timeOn(day + 2, QStringLiteral("23:59:59")));
    QCOMPARE(e->dueDay, kDay0.toJulianDay() + day + 3);
    // A time that is not a date places nothing.
    std::optional<ReviewEntry> none;
    ApplyReviewAnswer(none, false, QStringLiteral("昨天"));
    QVERIFY(!none);
  }

  // Tests stored one by one (every stored kind, a case's sub-questions, a
  // redo) move the schedule as they go; the replay of the stored history
  // at a first start gives the same table, byte for byte.
  void liveUpdatesMatchTheReplay() {
    OpenedBank bank({kQuestions});
    TestRecordStore store(bank.dm);
    const struct {
      qint16 kind;
      qint64 day;
      std::vector<TestQuestionRow> rows;
    } tests[] = {
        {PaperKinds::Chapter, 0, {{5, false}, {6, true}, {7, false}}},
        {PaperKinds::MockExam, 1, {{5, true}, {21, false}, {22, true}}},
        {PaperKinds::Favourites, 1, {{7, true}}},
        {PaperKinds::DueReview, 3, {{5, true}, {21, true}, {7, false}}},
        {PaperKinds::Review, 9, {{5, false}, {6, true}, {21, true}}},
        {PaperKinds::DueReview, 10, {{5, true}, {7, true}, {22, true}}},
    };
    for (const auto &t : tests)
      QCOMPARE(store.store(outcome(t.kind, t.rows), at(t.day)), TestRecordStore::Result::Saved);
    TADOConnection &c = bank.dm.ADOConnection1;
    const QStringList live = scheduleRows(c);
    QCOMPARE(live.size(), 3); // 5, 7, 21: 6 and 22 were never wrong
    QVERIFY(live[0].startsWith(QStringLiteral("5|")) && live[0].endsWith(QStringLiteral("|2")));

    {
      TADOQuery drop(c, QStringLiteral("drop"));
      drop.SQL.Add(QStringLiteral("DROP TABLE 复习计划"));
      drop.ExecSQL();
    }
    QVERIFY(ReviewSchedule::ensure(c));
    QCOMPARE(scheduleRows(c), live);
    QVERIFY(!ReviewSchedule::ensure(c)); // made once
    // Kind 7 is a test like the others in the history lists.
    PastTests past(bank.dm);
    QCOMPARE(past.rows().size(), std::size_t(6));
    QCOMPARE(OverallAccuracy(bank.dm).size(), std::size_t(6));
  }

  // A redo overwrites its record; the schedule still takes the answer.
  void redoMovesTheSchedule() {
    OpenedBank bank({kQuestions});
    TestRecordStore store(bank.dm);
    QCOMPARE(store.store(outcome(PaperKinds::MockExam, {{5, false}, {6, false}}), at(0)),
             TestRecordStore::Result::Saved);
    const quint32 id = quint32(store.lastRecordId());
    TADOConnection &c = bank.dm.ADOConnection1;
    QCOMPARE(dueText(c, kDay0.addDays(1)).size(), 2);
    QCOMPARE(store.store(outcome(PaperKinds::Redo, {{5, true}}, id), at(1)), TestRecordStore::Result::Saved);
    QCOMPARE(bank.count(QStringLiteral("SELECT count(*) FROM 测试题目 WHERE 回答正确=0")), 1);
    QCOMPARE(dueText(c, kDay0.addDays(1)),
             QStringList{QStringLiteral("6 第一节 概述 题六 %1 1").arg(kDay0.addDays(1).toString(Qt::ISODate))});
    QCOMPARE(ReviewSchedule::dueCount(c, kDay0.addDays(1)), 1);
    QCOMPARE(ReviewSchedule::dueCount(c, kDay0), 0);
  }

  // A question gone from 小题 is never listed, replayed or carried into an
  // updated bank; the rest of the schedule is carried as it is.
  void removedQuestionsLeaveTheSchedule() {
    OpenedBank bank({kQuestions});
    TestRecordStore store(bank.dm);
    QCOMPARE(store.store(outcome(PaperKinds::Chapter, {{5, false}, {6, false}, {7, false}}), at(0)),
             TestRecordStore::Result::Saved);
    TADOConnection &c = bank.dm.ADOConnection1;
    const QStringList before = scheduleRows(c);
    {
      TADOQuery q(c, QStringLiteral("remove"));
      q.SQL.Add(QStringLiteral("DELETE FROM 小题 WHERE 小题号=6"));
      q.ExecSQL();
    }
    QCOMPARE(ReviewSchedule::dueCount(c, kDay0.addDays(5)), 2);
    QCOMPARE(ReviewSchedule::dueNumbers(c, kDay0.addDays(5)), (std::vector<int>{5, 7}));
    QVERIFY(!ReviewSchedule::replay(c).contains(6));

    // The update's new bank lacks question 7 (6 it has again) and has no
    // schedule table yet.
    OpenedBank updated({QString(kQuestions).replace(QStringLiteral("(7,7,100,'判断题',2,'题七','A'),"), QString())});
    TADOConnection &n = updated.dm.ADOConnection1;
    {
      TADOQuery q(n, QStringLiteral("old"));
      q.SQL.Add(QStringLiteral("DROP TABLE 复习计划"));
      q.ExecSQL();
    }
    CarryLearnerHistory(c, n);
    QCOMPARE(scheduleRows(n), before.mid(0, 2));
    QCOMPARE(BankSchemaRefusal(n.handle()), QString());
  }

  // A bank made before the schedule existed gains it at its first start:
  // the table as the program's schema writes it (accepted by the bank's own
  // check), filled from the history; odd values in a bank's table are
  // read as usable ones.
  void oldBankGainsItsScheduleAtStart() {
    TestEnv::ProgramDirFixture dir({kQuestions +
                                    QStringLiteral("INSERT INTO 测试结果(编号,测试名称,测试时间,测试类型) VALUES"
                                                   "(1,'a','2026-03-02 08:00:00',1),(2,'b','2026-03-01 08:00:00',2),"
                                                   "(3,'c','不是时间',2);\n"
                                                   "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES"
                                                   "(1,5,-1),(2,5,0),(1,6,0),(3,7,0),(1,99,0);\n")});
    {
      TDataModule1 dm;
      QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
      TADOQuery q(dm.ADOConnection1, QStringLiteral("drop"));
      q.SQL.Add(QStringLiteral("DROP TABLE 复习计划"));
      q.ExecSQL();
    }
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    TADOConnection &c = dm.ADOConnection1;
    QVERIFY(ReviewSchedule::exists(c));
    QCOMPARE(BankSchemaRefusal(c.handle()), QString());
    TADOQuery q(c, QStringLiteral("sql"));
    q.SQL.Add(QStringLiteral("SELECT sql FROM sqlite_master WHERE tbl_name='复习计划' ORDER BY type DESC"));
    q.Open();
    QStringList made;
    for (q.First(); !q.Eof(); q.Next())
      made << q.Fields(0).AsString();
    QStringList schema;
    for (const QByteArray &s : BankTableStatements(ReviewSchedule::Table))
      schema << QString::fromUtf8(s);
    QCOMPARE(made, schema);
    // 5: wrong on the 1st, right on the 2nd (time order, not 编号 order);
    // 6 wrong on the 2nd; 7's test has no date; 99 is no question.
    QCOMPARE(dueText(c, QDate(2026, 3, 3)), QStringList{QStringLiteral("6 第一节 概述 题六 2026-03-03 1")});
    QCOMPARE(ReviewSchedule::dueNumbers(c, QDate(2026, 3, 4)), (std::vector<int>{6, 5}));

    // Values no program wrote: a usable state comes out of them.
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("UPDATE 复习计划 SET 稳定性='abc',难度=1e999,上次复习='x',到期=-4,错次=-7 WHERE 小题号=5"));
    q.ExecSQL();
    QCOMPARE(ReviewSchedule::dueNumbers(c, QDate(2026, 3, 1)), std::vector<int>{5});
    ReviewSchedule::record(c, {{5, true}}, QStringLiteral("2026-03-05 10:00:00"));
    const std::vector<DueQuestion> due = ReviewSchedule::dueQuestions(c, QDate(2030, 1, 1));
    QCOMPARE(due.size(), std::size_t(2));
    QCOMPARE(due[1].xiaoTiHao, 5);
    QCOMPARE(due[1].due, QStringLiteral("2026-03-05"));
    QCOMPARE(due[1].lapses, 0);
  }

  // A bank whose schedule table carries what could run or refuse the
  // program's writes is refused at the start like any other.
  void foreignScheduleObjectsAreRefused_data() {
    QTest::addColumn<QString>("sql");
    QTest::newRow("unique index") << QStringLiteral("CREATE UNIQUE INDEX u ON 复习计划(到期);");
    QTest::newRow("trigger") << QStringLiteral(
        "CREATE TRIGGER t AFTER INSERT ON 复习计划 BEGIN DELETE FROM 测试结果; END;");
  }
  void foreignScheduleObjectsAreRefused() {
    QFETCH(QString, sql);
    TestEnv::ProgramDirFixture dir({kQuestions + sql});
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::ForeignSchema);
  }

  // qbrx-bank due: the numbers due on a day by due date then number, from
  // the schedule or, without one, from the history, never writing.
  void bankToolListsTheDueQuestions() {
    TestEnv::ProgramDirFixture dir({kQuestions +
                                    QStringLiteral("INSERT INTO 测试结果(编号,测试名称,测试时间,测试类型) VALUES"
                                                   "(1,'a','2026-03-01 08:00:00',2),(2,'b','2026-03-02 08:00:00',2);\n"
                                                   "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES"
                                                   "(1,7,0),(2,6,0),(2,5,0),(2,7,-1);\n")});
    const QString bankFile = dir.path(QStringLiteral("QBRX.db"));
    const auto due = [&](const QStringList &extra) {
      QProcess p;
      p.start(qEnvironmentVariable("QBRX_BANK_TOOL"), QStringList{QStringLiteral("due"), bankFile} + extra);
      if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("failed: ") + QString::fromUtf8(p.readAllStandardError());
      return QString::fromUtf8(p.readAllStandardOutput());
    };
    const auto hasTable = [&] {
      TADOConnection c;
      c.Open(bankFile, QByteArray(kDatabasePassword), &kMaskingBlock, TADOConnection::Access::ReadOnly);
      return ReviewSchedule::exists(c);
    };
    {
      TDataModule1 dm;
      QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
      TADOQuery q(dm.ADOConnection1, QStringLiteral("drop"));
      q.SQL.Add(QStringLiteral("DROP TABLE 复习计划"));
      q.ExecSQL();
    }
    const QString replayed = due({QStringLiteral("--on"), QStringLiteral("2026-03-05")});
    QVERIFY(!hasTable());
    QCOMPARE(due({QStringLiteral("--on"), QStringLiteral("2026-03-02")}), QString());
    QCOMPARE(due({QStringLiteral("--on"), QStringLiteral("2026-03-03")}), QStringLiteral("5\n6\n"));
    {
      TDataModule1 dm;
      QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    }
    QVERIFY(hasTable());
    QCOMPARE(due({QStringLiteral("--on"), QStringLiteral("2026-03-05")}), replayed);
    QCOMPARE(replayed, QStringLiteral("5\n6\n7\n"));
    QVERIFY(!due({}).startsWith(QStringLiteral("failed")));
    QVERIFY(due({QStringLiteral("--on"), QStringLiteral("3/5")}).startsWith(QStringLiteral("failed")));
  }
};

QBRX_TEST_MAIN(TestReviewSchedule)
#include "tst_reviewschedule.moc"
