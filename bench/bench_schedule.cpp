// The review schedule on a long history: a 100,000-question bank with 10,000
// stored tests (QBRX_BENCH_QUESTIONS, QBRX_BENCH_TESTS).
// - The 今日复习 list (with each question's chapter and text) beside the
//   floor of one indexed SELECT of the due rows of the schedule.
// - The replay of the whole history that gives an old bank its schedule at
//   its first start (the table made, the history read in time order, every
//   row written, committed), on its own: it is to stay under a second.

#include "BankSynth.h"
#include "BenchBank.h"
#include "Interleaved.h"
#include "TestEnv.h"
#include "store/DM.h"
#include "store/ReviewSchedule.h"
#include "store/Startup.h"

#include <QTemporaryDir>
#include <sqlite3.h>
#include <QtTest>

class BenchSchedule : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  TDataModule1 m_dm;

  int count(const QString &sql) {
    TADOQuery q(m_dm.ADOConnection1, QStringLiteral("count"));
    q.SQL.Add(sql);
    q.Open();
    return q.Fields(0).AsInteger();
  }

private slots:
  void initTestCase() {
    const QString root = m_dir.path() + QLatin1Char('/');
    makeBenchBank(root, 3, 10000);
    QCOMPARE(OpenBankAtStartup(m_dm, root), StartupResult::Opened);
    qInfo("history: %d tests, %d answers (%d wrong); schedule: %d questions, %d due today",
          count(QStringLiteral("SELECT count(*) FROM 测试结果")), count(QStringLiteral("SELECT count(*) FROM 测试题目")),
          count(QStringLiteral("SELECT count(*) FROM 测试题目 WHERE 回答正确=0")),
          count(QStringLiteral("SELECT count(*) FROM 复习计划")),
          ReviewSchedule::dueCount(m_dm.ADOConnection1, QDate::currentDate()));
  }

  // The page's list on the days a learner meets: today (every question of
  // the history is due) and a day inside the history (a part of them).
  void dueList_data() {
    QTest::addColumn<QDate>("on");
    QTest::newRow("today") << QDate::currentDate();
    TADOQuery q(m_dm.ADOConnection1, QStringLiteral("median"));
    q.SQL.Add(QStringLiteral("SELECT 到期 FROM 复习计划 ORDER BY 到期 LIMIT 1 OFFSET (SELECT count(*)/2 FROM 复习计划)"));
    q.Open();
    QTest::newRow("half due") << QDate::fromString(q.Fields(0).AsString(), QStringLiteral("yyyy-MM-dd"));
  }
  void dueList() {
    QFETCH(QDate, on);
    QVERIFY(on.isValid());
    std::size_t rows = 0;
    const QByteArray day = on.toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
    const auto list = [&] { rows = ReviewSchedule::dueQuestions(m_dm.ADOConnection1, on).size(); };
    // One SELECT through the index on 到期, stepped by the engine alone:
    // the rows as the page shows them, and the schedule's rows bare.
    const auto select = [&](const char *sql) {
      sqlite3_stmt *st = nullptr;
      QCOMPARE(sqlite3_prepare_v2(m_dm.ADOConnection1.handle(), sql, -1, &st, nullptr), SQLITE_OK);
      sqlite3_bind_text(st, 1, day.constData(), int(day.size()), SQLITE_STATIC);
      std::size_t n = 0, bytes = 0;
      while (sqlite3_step(st) == SQLITE_ROW) {
        ++n;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
          bytes += std::size_t(sqlite3_column_bytes(st, i));
      }
      sqlite3_finalize(st);
      QVERIFY(n > 0 && bytes > 0);
    };
    const auto shown = [&] {
      select("SELECT s.小题号,k.名称,x.题目内容,s.到期,s.错次 FROM 复习计划 s JOIN 小题 x ON x.小题号=s.小题号"
             " LEFT JOIN 题目类别 k ON k.编号=x.所属编号 WHERE s.到期<=? ORDER BY s.到期,s.小题号");
    };
    const auto bare = [&] { select("SELECT 小题号,到期,错次 FROM 复习计划 WHERE 到期<=? ORDER BY 到期,小题号"); };
    reportInterleaved(QStringLiteral("due list / one indexed SELECT of the due rows as shown"), list, shown, 15);
    reportInterleaved(QStringLiteral("due list / one indexed SELECT of the schedule's due rows"), list, bare, 15);
    qInfo("%zu questions due on %s", rows, qPrintable(on.toString(Qt::ISODate)));
  }

  // The first start's replay: made again from nothing each round.
  void replayAtFirstStart() {
    TADOConnection &c = m_dm.ADOConnection1;
    std::vector<double> ms;
    for (int round = 0; round < 5; ++round) {
      {
        TADOQuery q(c, QStringLiteral("drop"));
        q.SQL.Add(QStringLiteral("DROP TABLE 复习计划"));
        q.ExecSQL();
      }
      QElapsedTimer t;
      t.start();
      QVERIFY(ReviewSchedule::ensure(c));
      ms.push_back(t.nsecsElapsed() / 1e6);
    }
    qInfo("replay at first start: median %.1f ms, slowest %.1f ms (%d questions scheduled)", medianOf(ms),
          *std::max_element(ms.begin(), ms.end()), count(QStringLiteral("SELECT count(*) FROM 复习计划")));
    // Its reading part alone, as the bank tool's due list without a
    // schedule runs it.
    std::vector<double> read;
    for (int round = 0; round < 5; ++round) {
      QElapsedTimer t;
      t.start();
      QCOMPARE(ReviewSchedule::replay(c).size(), qsizetype(count(QStringLiteral("SELECT count(*) FROM 复习计划"))));
      read.push_back(t.nsecsElapsed() / 1e6);
    }
    qInfo("of which reading and computing: median %.1f ms", medianOf(read));
    QTest::setBenchmarkResult(medianOf(ms), QTest::WalltimeMilliseconds);
  }
};

QBRX_TEST_MAIN(BenchSchedule)
#include "bench_schedule.moc"
