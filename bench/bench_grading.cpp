// Grading a generated paper of 1,000 choice sub-questions in the real view
// (no report dialog), beside the floor of one bare script call that reads the
// same checked states; and storing that paper's test record in one
// transaction.

#include "BankSynth.h"
#include "TestEnv.h"
#include "common/ProgramDir.h"
#include "exam/TestRecordStore.h"
#include "exam/TestReport.h"
#include "mainwin/Grading.h"
#include "render/Global.h"
#include "render/PageBuilder.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QEventLoop>
#include <QWebEnginePage>
#include <QtTest>
#include <memory>

class BenchGrading : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv::ProgramDirFixture> m_dir;
  std::unique_ptr<TDataModule1> m_dm;
  std::unique_ptr<WebHtmlView> m_view;
  QString m_readScript; // the bare read of every option input

private slots:
  void initTestCase() {
    m_dir = std::make_unique<TestEnv::ProgramDirFixture>(QStringList{QStringLiteral("SELECT 1;")});
    const int questions = qEnvironmentVariableIntValue("QBRX_BENCH_QUESTIONS");
    SynthesizeBank(m_dir->path(QStringLiteral("QBRX.db")), questions > 0 ? questions : 100000, 7);
    m_dm = std::make_unique<TDataModule1>();
    QCOMPARE(OpenBankAtStartup(*m_dm, m_dir->root()), StartupResult::Opened);

    // 1,000 choice sub-questions, case sub-questions among them.
    TADOQuery &q = m_dm->ADOQuery1;
    q.SQL.Add(QStringLiteral("SELECT 小题号 FROM 小题 WHERE 题目类型 NOT IN "
                             "('填空题','简答题','计算题','案例题','方案题','综合题') ORDER BY 小题号 LIMIT 1000"));
    q.Open();
    CurrentPaper.clear();
    for (q.First(); !q.Eof(); q.Next())
      CurrentPaper.push_back(TXiaoTi{q.Fields(0).AsInteger()});
    q.Close();
    PaperKind = PaperKinds::Chapter;
    const ProgramDir dir(m_dir->root());
    BuildQuestionPage(QStringLiteral("批阅基准"), 0, *m_dm, dir);
    qInfo("paper: %d sub-questions graded", int(PaperQuestions.size()));

    m_view = std::make_unique<WebHtmlView>();
    m_view->navigate(dir.questionPagePath());
    QVERIFY(m_view->waitForLoad(60000));

    // Every other sub-question answered with its first option.
    QStringList ids, first;
    for (size_t i = 0; i < PaperQuestions.size(); ++i) {
      ids << OptionIds(PaperQuestions[i]);
      if (i % 2 == 0 && PaperQuestions[i].NumOfSel > 0)
        first << QStringLiteral("'%1/0'").arg(PaperQuestions[i].XiaoTiHao);
    }
    m_view->runScript(QStringLiteral("[%1].forEach(function (id) { document.getElementById(id).click(); });")
                          .arg(first.join(QLatin1Char(','))));
    QStringList quoted;
    for (const QString &id : ids)
      quoted << QLatin1Char('\'') + id + QLatin1Char('\'');
    m_readScript = QStringLiteral("[%1].map(function (id) { var e = document.getElementById(id);"
                                  " return e ? !!e.checked : null; })")
                       .arg(quoted.join(QLatin1Char(',')));
    qInfo("option inputs read: %d", int(ids.size()));
  }

  void gradePaper() {
    QBENCHMARK {
      QCOMPARE(GradePaper(*m_view, *m_dm), GradeStatus::Graded);
    }
    QVERIFY(!TypeResults.empty());
  }

  // The floor: one runJavaScript call reading the same inputs, and its wait.
  void bareReadFloor() {
    QBENCHMARK {
      QEventLoop loop;
      int count = 0;
      m_view->page()->runJavaScript(m_readScript, [&](const QVariant &v) {
        count = int(v.toList().size());
        loop.quit();
      });
      loop.exec();
      QVERIFY(count > 0);
    }
  }

  // The test record of the graded paper and its 1,000 question rows.
  void storeTestRecord() {
    QCOMPARE(GradePaper(*m_view, *m_dm), GradeStatus::Graded);
    const TestOutcome outcome = CurrentTestOutcome(BuildTestReport(TypeResults).totals);
    TestRecordStore store(*m_dm);
    QBENCHMARK {
      QCOMPARE(store.store(outcome, QDateTime::currentDateTime()), TestRecordStore::Result::Saved);
    }
  }

  void cleanupTestCase() {
    m_view.reset();
    m_dm.reset();
    m_dir.reset();
  }
};

QBRX_TEST_MAIN(BenchGrading)
#include "bench_grading.moc"
