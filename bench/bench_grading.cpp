// Grading a generated paper of 100, 1,000 and 5,000 choice sub-questions in
// the real view, beside the floor of one bare script call that reads the same
// checked states; the result report window until its rows are laid out,
// beside the floor of a bare view loading the same report page; and storing
// the paper's test record in one transaction. QBRX_BENCH_QUESTIONS sets the
// size of the bank (100,000), QBRX_BENCH_SIZES the paper sizes.

#include "BankSynth.h"
#include "BenchBank.h"
#include "FeatureHarness.h"
#include "Interleaved.h"
#include "TestEnv.h"
#include "common/ProgramDir.h"
#include "exam/Grading.h"
#include "exam/ui/ShowTestResult.h"
#include "exam/TestRecordStore.h"
#include "exam/TestReport.h"
#include "app/PaperState.h"
#include "render/PageBuilder.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QEventLoop>
#include <QFile>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>
#include <memory>

namespace {

// Table rows the report's lines open.
int reportRows(const TestReport &report) {
  int rows = 0;
  for (const QString &line : report.lines)
    rows += int(line.count(QLatin1String("<tr")));
  return rows;
}

// Waits until the page of `page` has laid out at least `rows` table rows.
bool waitForRows(QWebEnginePage *page, int rows) {
  const QDeadlineTimer deadline(60000);
  while (!deadline.hasExpired()) {
    QEventLoop loop;
    int found = -1;
    page->runJavaScript(QStringLiteral("document.body && document.body.scrollHeight > 0 ?"
                                       " document.getElementsByTagName('tr').length : 0"),
                        [&](const QVariant &v) {
                          found = v.toInt();
                          loop.quit();
                        });
    loop.exec();
    if (found >= rows)
      return true;
  }
  return false;
}

} // namespace

class BenchGrading : public QObject {
  Q_OBJECT

  std::unique_ptr<FeatureHarness> m_harness;
  // Short names for the harness's parts.
  PaperState &paperState() { return m_harness->paper; }
  TestEnv::ProgramDirFixture *m_dir = nullptr;
  TDataModule1 *m_dm = nullptr;
  std::unique_ptr<WebHtmlView> m_view;
  int m_size = 0;       // sub-questions of the paper on display
  QString m_readScript; // the bare read of every option input and stem

  // A paper of `size` choice sub-questions (case sub-questions among them)
  // on display, every other one answered with its first option.
  void showPaper(int size) {
    if (m_size == size)
      return;
    TADOQuery &q = m_dm->ADOQuery1;
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT 小题号 FROM 小题 WHERE 题目类型 NOT IN "
                             "('填空题','简答题','计算题','案例题','方案题','综合题') ORDER BY 小题号 LIMIT %1")
                  .arg(size));
    q.Open();
    paperState().paper.clear();
    for (q.First(); !q.Eof(); q.Next())
      paperState().paper.push_back(TXiaoTi{q.Fields(0).AsInteger()});
    q.Close();
    paperState().kind = PaperKinds::Chapter;
    const ProgramDir dir(m_dir->root());
    BuildQuestionPage(paperState(), QStringLiteral("批阅基准"), 0, *m_dm, dir);

    m_view->navigate(dir.questionPagePath());
    if (!m_view->waitForLoad(120000))
      qFatal("the paper did not load");

    QStringList ids, first;
    for (size_t i = 0; i < paperState().questions.size(); ++i) {
      ids << OptionIds(paperState().questions[i]) << StemId(paperState().questions[i]);
      if (i % 2 == 0 && paperState().questions[i].NumOfSel > 0)
        first << QStringLiteral("'%1/0'").arg(paperState().questions[i].XiaoTiHao);
    }
    m_view->runScript(QStringLiteral("[%1].forEach(function (id) { document.getElementById(id).click(); });")
                          .arg(first.join(QLatin1Char(','))));
    QStringList quoted;
    for (const QString &id : ids)
      quoted << QLatin1Char('\'') + id + QLatin1Char('\'');
    m_readScript = QStringLiteral("[%1].map(function (id) { var e = document.getElementById(id);"
                                  " return e ? !!e.checked : null; })")
                       .arg(quoted.join(QLatin1Char(',')));
    m_size = size;
    qInfo("paper: %d sub-questions graded, %d elements read", int(paperState().questions.size()), int(ids.size()));
  }

  // One runJavaScript call reading every element, and its wait.
  int bareRead() {
    QEventLoop loop;
    int count = 0;
    m_view->page()->runJavaScript(m_readScript, [&](const QVariant &v) {
      count = int(v.toList().size());
      loop.quit();
    });
    loop.exec();
    return count;
  }

  // The report window until its rows are laid out.
  void openReport(int rows) {
    TFrmShowTestResult report(paperState(), *m_dm);
    report.show();
    auto *view = dynamic_cast<WebHtmlView *>(&report.view());
    if (!view || !view->waitForLoad(60000) || !waitForRows(view->page(), rows))
      qFatal("the report did not show its rows");
  }

  // A bare view of the report's size loading the report page from a file.
  static void openBareReport(const QString &path, int rows) {
    QWebEngineView view;
    view.resize(582, 221);
    view.show();
    view.load(QUrl::fromLocalFile(path));
    if (!waitForRows(view.page(), rows))
      qFatal("the bare view did not show the rows");
  }

  // The report page of paperState().typeResults as a file (UTF-8 with a byte-order mark,
  // as the report view shows written lines); its path.
  QString writeReportFile() {
    const TestReport report = BuildTestReport(paperState().typeResults);
    const QString path = m_dir->path(QStringLiteral("report-floor.html"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
      qFatal("cannot write the report page");
    file.write("\xEF\xBB\xBF");
    for (const QString &line : report.lines)
      file.write(line.toUtf8() + "\r\n");
    return path;
  }

private slots:
  void initTestCase() {
    m_harness = std::make_unique<FeatureHarness>(
        QStringList{QStringLiteral("SELECT 1;")}, FeatureHarness::FakeDialogsKind, [](const QString &root) {
          makeBenchBank(root, 7);
        });
    m_dir = &m_harness->dir;
    m_dm = &m_harness->dm;
    m_view = std::make_unique<WebHtmlView>();
    m_view->resize(1024, 768);
  }

  void gradePaper_data() { paperSizeRows(); }
  void gradePaper() {
    QFETCH(int, size);
    showPaper(size);
    QBENCHMARK {
      QCOMPARE(GradePaper(paperState(), *m_view, *m_dm), GradeStatus::Graded);
    }
    QVERIFY(!paperState().typeResults.empty());
  }

  // The floor: one runJavaScript call reading the same elements, and its wait.
  void bareReadFloor_data() { paperSizeRows(); }
  void bareReadFloor() {
    QFETCH(int, size);
    showPaper(size);
    QBENCHMARK {
      QVERIFY(bareRead() > 0);
    }
  }

  // Grading beside the bare read, alternating (the goal: at most 1.5 x).
  void gradingOverBareRead_data() { paperSizeRows(); }
  void gradingOverBareRead() {
    QFETCH(int, size);
    showPaper(size);
    reportInterleaved(
        QStringLiteral("grading / bare read (%1)").arg(size),
        [&] {
          if (GradePaper(paperState(), *m_view, *m_dm) != GradeStatus::Graded)
            qFatal("not graded");
        },
        [&] { bareRead(); }, roundsFor(size / 100.0));
  }

  // The report window of the graded paper, from its making until the rows
  // of its page are laid out.
  void reportWindow_data() { paperSizeRows(); }
  void reportWindow() {
    QFETCH(int, size);
    showPaper(size);
    QCOMPARE(GradePaper(paperState(), *m_view, *m_dm), GradeStatus::Graded);
    const int rows = reportRows(BuildTestReport(paperState().typeResults));
    QBENCHMARK {
      openReport(rows);
    }
  }

  // The floor: a bare view of the report's size loading the same page from
  // a file until its rows are laid out.
  void bareReportViewFloor_data() { paperSizeRows(); }
  void bareReportViewFloor() {
    QFETCH(int, size);
    showPaper(size);
    QCOMPARE(GradePaper(paperState(), *m_view, *m_dm), GradeStatus::Graded);
    const int rows = reportRows(BuildTestReport(paperState().typeResults));
    const QString path = writeReportFile();
    QBENCHMARK {
      openBareReport(path, rows);
    }
  }

  // The report window beside the bare view, alternating (1,000 sub-questions:
  // the report has a row per type whatever the paper's size).
  void reportOverBareView() {
    showPaper(1000);
    QCOMPARE(GradePaper(paperState(), *m_view, *m_dm), GradeStatus::Graded);
    const int rows = reportRows(BuildTestReport(paperState().typeResults));
    const QString path = writeReportFile();
    reportInterleaved(
        QStringLiteral("report window / bare view"), [&] { openReport(rows); }, [&] { openBareReport(path, rows); },
        15);
  }

  // The test record of the graded paper and its question rows.
  void storeTestRecord_data() { paperSizeRows(); }
  void storeTestRecord() {
    QFETCH(int, size);
    showPaper(size);
    QCOMPARE(GradePaper(paperState(), *m_view, *m_dm), GradeStatus::Graded);
    const TestOutcome outcome = CurrentTestOutcome(paperState(), BuildTestReport(paperState().typeResults).totals);
    TestRecordStore store(*m_dm);
    QBENCHMARK {
      QCOMPARE(store.store(outcome, QDateTime::currentDateTime()), TestRecordStore::Result::Saved);
    }
  }

  void cleanupTestCase() {
    m_view.reset();
    m_dm = nullptr;
    m_dir = nullptr;
    m_harness.reset();
  }
};

QBRX_TEST_MAIN(BenchGrading)
#include "bench_grading.moc"
