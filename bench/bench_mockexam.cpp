// The mock exam on a 100,000-question bank with a learner's history of 2,000
// tests, every chapter ticked: the first load beside its floor (the candidate
// SELECT alone), a generation beside its floor (one read of 小题号 and
// 题目类型 of the candidates), both as the logic does them and through the
// dialogs (the loading and generation dialogs with the read on a worker);
// and the longest time the user-interface thread goes without running its
// event loop (no repaint) during each, and during a chapter unticked.
// QBRX_BENCH_QUESTIONS sets the size of the bank.

#include "BankSynth.h"
#include "FakeDialogs.h"
#include "Interleaved.h"
#include "TestEnv.h"
#include "exam/MockExamRepository.h"
#include "exam/MockExamSetup.h"
#include "exam/ui/BankReadDialog.h"
#include "exam/ui/MLKC.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

// The longest stretch without a turn of the event loop while it runs.
class StallMeter : public QObject {
public:
  StallMeter() {
    m_timer.setInterval(2);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { mark(); });
  }
  void start() {
    m_clock.start();
    m_last = 0;
    m_worst = 0;
    m_timer.start();
  }
  double stop() {
    mark();
    m_timer.stop();
    return m_worst / 1e6;
  }

private:
  void mark() {
    const qint64 now = m_clock.nsecsElapsed();
    m_worst = std::max(m_worst, now - m_last);
    m_last = now;
  }
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_last = 0, m_worst = 0;
};

} // namespace

class BenchMockExam : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv::ProgramDirFixture> m_dir;
  std::unique_ptr<TDataModule1> m_dm;
  FakeDialogs m_dialogs;
  std::vector<qint32> m_chapters;
  std::mt19937_64 m_random{1};

  TADOConnection &connection() { return m_dm->ADOConnection1; }

  int readRows(const QString &sql) {
    TADOQuery q(connection(), QStringLiteral("floor"));
    q.SQL.Add(sql);
    q.Open();
    return q.RecordCount();
  }
  QString chapterList() const {
    QStringList ids;
    for (qint32 id : m_chapters)
      ids << QString::number(id);
    return ids.join(QLatin1Char(','));
  }
  // The candidate SELECT of the setup, as the range 全部试题 has it.
  int loadFloor() {
    return readRows(QStringLiteral("SELECT distinct  小题号 FROM 小题 WHERE 小题号=大题号 AND 所属编号 IN(SELECT 编号 FROM "
                                   "题目类别 WHERE 父级编号 IN(") +
                    chapterList() + QStringLiteral("))"));
  }
  // One read of 小题号 and 题目类型 of the candidates.
  int generationFloor() {
    return readRows(QStringLiteral("SELECT 小题号,题目类型 FROM 小题 WHERE 小题号=大题号 AND 所属编号 IN(SELECT 编号 FROM "
                                   "题目类别 WHERE 父级编号 IN(") +
                    chapterList() + QStringLiteral("))"));
  }

  std::size_t logicLoad() {
    MockExamSetup setup(connection());
    setup.firstLoad();
    return setup.CandidateNumbers.size();
  }

private slots:
  void initTestCase() {
    m_dir = std::make_unique<TestEnv::ProgramDirFixture>(QStringList{QStringLiteral("SELECT 1;")});
    const int questions = qEnvironmentVariableIntValue("QBRX_BENCH_QUESTIONS");
    SynthesizeBank(m_dir->path(QStringLiteral("QBRX.db")), questions > 0 ? questions : 100000, 7, 2000);
    m_dm = std::make_unique<TDataModule1>();
    QCOMPARE(OpenBankAtStartup(*m_dm, m_dir->root()), StartupResult::Opened);
    MockExamSetup setup(connection());
    setup.firstLoad();
    for (const ExamCategory &c : setup.chapters)
      m_chapters.push_back(c.id);
    QCOMPARE(int(setup.CandidateNumbers.size()), loadFloor());
    qInfo("bank: %d chapters, %d candidates, %d case questions, %d count rows", int(m_chapters.size()),
          int(setup.CandidateNumbers.size()), int(setup.CaseNumbers.size()), int(setup.rows.size()));
    // The loading and generation dialogs run for real.
    m_dialogs.modalHandler = [](QDialog &d) { return d.exec(); };
  }

  // Steps 1 to 4 (subjects, chapters, candidates, count rows) beside the
  // candidate SELECT alone (the goal: at most 2 x).
  void firstLoadOverCandidateSelect() {
    reportInterleaved(QStringLiteral("mock exam first load / candidate SELECT"), [&] { logicLoad(); },
                      [&] { loadFloor(); }, 15);
  }

  // The same through the loading dialog, the lists and rows filled.
  void dialogLoadOverCandidateSelect() {
    reportInterleaved(
        QStringLiteral("mock exam dialog load / candidate SELECT"),
        [&] {
          TFrmMLKC form(*m_dm, nullptr);
          if (!form.load())
            qFatal("the setup did not load");
        },
        [&] { loadFloor(); }, 15);
  }

  // A generation (the candidates read again, every row drawn) beside one
  // read of 小题号 and 题目类型 (the goal: at most 3 x).
  void generationOverTypeRead() {
    MockExamSetup setup(connection());
    setup.firstLoad();
    std::size_t drawn = 0;
    reportInterleaved(
        QStringLiteral("mock exam generation / read of the candidates' types"),
        [&] { drawn = setup.generate(m_random, QDateTime::currentDateTime()).paper.size(); },
        [&] { generationFloor(); }, 15);
    qInfo("paper: %d questions", int(drawn));
  }

  // The longest time without a turn of the event loop: the first load and a
  // generation through their dialogs, and a chapter unticked (the steps
  // that follow read on a worker and are applied here).
  void longestStalls() {
    StallMeter meter;
    std::vector<double> load, generation, untick;
    for (int round = 0; round < 7; ++round) {
      TFrmMLKC form(*m_dm, nullptr);
      meter.start();
      if (!form.load())
        qFatal("the setup did not load");
      load.push_back(meter.stop());
      meter.start();
      form.BitBtn1->click();
      generation.push_back(meter.stop());
      if (!form.request())
        qFatal("no paper");
      meter.start();
      form.CheckListBoxSTKM->item(round)->setCheckState(Qt::Unchecked);
      while (form.busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      untick.push_back(meter.stop());
    }
    const auto worst = [](std::vector<double> v) { return *std::max_element(v.begin(), v.end()); };
    qInfo("longest stall (median / worst of 7): first load %.1f / %.1f ms, generation %.1f / %.1f ms, "
          "chapter unticked %.1f / %.1f ms",
          medianOf(load), worst(load), medianOf(generation), worst(generation), medianOf(untick), worst(untick));
  }
};

QBRX_TEST_MAIN(BenchMockExam)
#include "bench_mockexam.moc"
