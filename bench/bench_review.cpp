// The review windows on a long history: a 100,000-question bank with 10,000
// stored tests (QBRX_BENCH_QUESTIONS, QBRX_BENCH_TESTS). The statistics
// and redo windows are timed from their making to their first page painted,
// each beside the floor of one read of the rows it shows. The statistics
// window is also set beside that read plus the same window on an empty
// history: what any chart window costs to make and paint, whatever it shows.

#include "BankSynth.h"
#include "BenchBank.h"
#include "Interleaved.h"
#include "TestEnv.h"
#include "app/ui/PageControl.h"
#include "review/Statistics.h"
#include "review/ui/ErrorRedo.h"
#include "review/ui/TongJiFenXi.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QChartView>
#include <QTemporaryDir>
#include <QtTest>

class BenchReview : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir, m_emptyDir;
  TDataModule1 m_dm, m_emptyDm;

  // The window made, shown, laid out and its first page painted: its own
  // cost, without the wait for the platform to expose it (about 10 ms
  // offscreen, whatever the window).
  static void openStatistics(TDataModule1 &dm) {
    TFrmTongJiFenXi form(dm);
    form.show();
    for (int i = 0; i < 1000 && form.Chart1->chart()->plotArea().width() <= 0; ++i)
      QCoreApplication::processEvents();
    QVERIFY(form.Chart1->chart()->plotArea().width() > 0);
    form.grab();
  }

  // One read of what the statistics window shows of every test.
  void readHistory() {
    TADOQuery q(m_dm.ADOConnection1, QStringLiteral("floor"));
    q.SQL.Add(QStringLiteral("SELECT 答对,试题数,所属章节,测试类型,测试时间,测试名称 FROM 测试结果"));
    q.Open();
  }

  // The chapter tests spread over `chapters` sections, as a learner who
  // practised the whole bank has them.
  void spreadOverChapters(int chapters) {
    TADOQuery q(m_dm.ADOConnection1, QStringLiteral("sections"));
    q.SQL.Add(QStringLiteral("SELECT 编号 FROM 题目类别 WHERE 属性='2' ORDER BY 编号"));
    q.Open();
    std::vector<qint64> sections;
    for (q.First(); !q.Eof() && int(sections.size()) < chapters; q.Next())
      sections.push_back(q.Fields(0).AsLargeInt());
    QVERIFY(!sections.empty());
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT 编号 FROM 测试结果 WHERE 测试类型=1 ORDER BY 编号"));
    q.Open();
    std::vector<qint64> tests;
    for (q.First(); !q.Eof(); q.Next())
      tests.push_back(q.Fields(0).AsLargeInt());
    m_dm.ADOConnection1.BeginTrans();
    TADOQuery u(m_dm.ADOConnection1, QStringLiteral("spread"));
    u.SQL.Add(QStringLiteral("UPDATE 测试结果 SET 所属章节=? WHERE 编号=?"));
    for (std::size_t i = 0; i < tests.size(); ++i)
      u.execSQLWith({sections[i % sections.size()], tests[i]});
    m_dm.ADOConnection1.CommitTrans();
  }

private slots:
  void initTestCase() {
    const QString root = m_dir.path() + QLatin1Char('/');
    makeBenchBank(root, 3, 10000);
    QCOMPARE(OpenBankAtStartup(m_dm, root), StartupResult::Opened);
    spreadOverChapters(1000);
    const QString empty = m_emptyDir.path() + QLatin1Char('/');
    SynthesizeBank(empty + QStringLiteral("QBRX.db"), 100, 3, 0);
    QCOMPARE(OpenBankAtStartup(m_emptyDm, empty), StartupResult::Opened);
    qInfo("history: %d tests, %d chapters charted", int(OverallAccuracy(m_dm).size()),
          int(ChapterAccuracy(m_dm).size()));
  }

  void statisticsWindow() {
    QCOMPARE(OverallAccuracy(m_emptyDm).size(), std::size_t(0));
    reportInterleaved(QStringLiteral("statistics window / one read of the history"),
                      [this] { openStatistics(m_dm); }, [this] { readHistory(); }, 7);
    reportInterleaved(QStringLiteral("statistics window / one read of the history + the window on no history"),
                      [this] { openStatistics(m_dm); },
                      [this] {
                        readHistory();
                        openStatistics(m_emptyDm);
                      },
                      7);
  }

  // The redo window: every list with its wrong counts, one tab per chapter
  // test, the first tab's questions; beside one read of the wrong rows.
  void redoWindow() {
    const auto open = [this] {
      TFrmErrorRedo form(m_dm);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      form.PageControl1->setCurrentIndex(kFirstTestTab);
      form.grab();
    };
    const auto floor = [this] {
      TADOQuery q(m_dm.ADOConnection1, QStringLiteral("floor"));
      q.SQL.Add(QStringLiteral("SELECT 测试编号,小题号 FROM 测试题目 WHERE 回答正确=0"));
      q.Open();
    };
    reportInterleaved(QStringLiteral("redo window / one read of the wrong answers"), open, floor, 7);
  }
};

QBRX_TEST_MAIN(BenchReview)
#include "bench_review.moc"
