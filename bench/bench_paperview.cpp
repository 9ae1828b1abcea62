// Papers of the sizes learners make (a search for "%" on a large bank shows
// nearly all of it) in the program's view at 1024 x 768: how long until the
// first screen of questions is drawn and until the page has loaded, beside
// the floor: the same page cut to the questions of its first screen, in the
// same view. "without style" is the same view with its own style taken out
// (the page as the engine draws it from its bytes alone).
//
// The first screen counts as drawn at the first animation frame in which
// the page is taller than the view (its first screen is full).
// QBRX_BENCH_QUESTIONS: the bank's size (100,000); QBRX_BENCH_SIZES: the
// paper sizes ("100,1000,5000,10000,20000": the program shows at most
// 10,000; 94,000 ends the page process); QBRX_BENCH_PLAIN_MAX: the
// largest paper also loaded without the view's style (20,000). Sizes from
// 20,000 up need QTEST_FUNCTION_TIMEOUT (milliseconds) above its default.
// QBRX_BENCH_KEEP keeps the pages (its folder is printed) to study them.

#include "BankSynth.h"
#include "BenchBank.h"
#include "Interleaved.h"
#include "TestEnv.h"
#include "app/PaperState.h"
#include "common/AppError.h"
#include "common/ProgramDir.h"
#include "render/PageBuilder.h"
#include "render/StyleSheet.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QtTest>

namespace {

// Sub-questions of the first screen kept in the cut page: a few more than a
// 1024 x 768 view shows.
constexpr int kFirstScreen = 12;

const char *kMeasure = R"JS((function () {
  function frame() {
    var d = document.documentElement;
    if (document.readyState === 'complete' || (document.body && d.scrollHeight > innerHeight + 8)) {
      window.qbrxFirstScreen = performance.timeOrigin + performance.now();
      return;
    }
    requestAnimationFrame(frame);
  }
  requestAnimationFrame(frame);
})();)JS";

struct Load {
  double firstScreenMs = 0;
  double loadedMs = 0;
};

} // namespace

class BenchPaperView : public QObject {
  Q_OBJECT

  QTemporaryDir m_tmp;
  ProgramDir m_dir;
  TDataModule1 m_dm;
  PaperState m_paper;
  std::unique_ptr<WebHtmlView> m_view;
  QMap<int, QString> m_pages, m_cuts;

  // The page of a search paper of the first `size` questions of the bank,
  // and the same page cut after its first screen.
  void makePages(int size) {
    if (m_pages.contains(size))
      return;
    TADOQuery &q = m_dm.ADOQuery3;
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT 小题号 FROM 小题 ORDER BY 小题号 LIMIT %1").arg(size));
    q.Open();
    m_paper = PaperState{};
    for (q.First(); !q.Eof(); q.Next())
      m_paper.paper.push_back(TXiaoTi{q.Fields(0).AsInteger()});
    q.Close();
    m_paper.kind = PaperKinds::Search;
    QElapsedTimer t;
    t.start();
    BuildQuestionPage(m_paper, QStringLiteral("试题查找"), 0, m_dm, m_dir);
    const double buildMs = t.elapsed();
    QFile built(m_dir.questionPagePath());
    if (!built.open(QIODevice::ReadOnly))
      qFatal("no page was written");
    const QByteArray bytes = built.readAll();
    const QString page = m_dir.root() + QStringLiteral("css/paper%1.html").arg(size);
    const QString cut = m_dir.root() + QStringLiteral("css/cut%1.html").arg(size);
    QFile out(page), cutOut(cut);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
      qFatal("the page was not copied");
    // The cut: everything up to the end of the kFirstScreen-th answer block.
    qsizetype at = 0;
    for (int i = 0; i < kFirstScreen && at >= 0; ++i)
      at = bytes.indexOf("name=\"da\"", at + 1);
    at = at < 0 ? bytes.size() : bytes.indexOf("\r\n", at) + 2;
    if (!cutOut.open(QIODevice::WriteOnly) || cutOut.write(bytes.left(at) + "</div> </div></body></html>\r\n") < 0)
      qFatal("the cut page was not written");
    qInfo("paper of %d: %lld questions, page of %lld bytes built in %.0f ms", size, qint64(m_paper.paper.size()),
          qint64(bytes.size()), buildMs);
    m_pages.insert(size, page);
    m_cuts.insert(size, cut);
  }

  void setOwnStyle(bool on) {
    QWebEngineScriptCollection &scripts = m_view->page()->scripts();
    static QList<QWebEngineScript> removed;
    if (on) {
      for (const QWebEngineScript &s : std::as_const(removed))
        scripts.insert(s);
      removed.clear();
    } else {
      for (const QWebEngineScript &s : scripts.find(QStringLiteral("qbrx-screen-style"))) {
        removed << s;
        scripts.remove(s);
      }
    }
  }

  Load load(const QString &path) {
    // Between loads the engine drops the page before: an empty page first,
    // so that what is measured is only the paper's own load.
    m_view->navigate(QStringLiteral("about:blank"));
    m_view->waitForLoad();
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    QElapsedTimer t;
    t.start();
    m_view->navigate(path);
    // A page too large for the page process ends it (a paper of 94,000
    // questions does): said at once rather than after the wait.
    const QDeadlineTimer limit(600000);
    while (!m_view->waitForLoad(1000)) {
      for (const QString &e : m_view->scriptErrors())
        if (e.contains(QLatin1String("process ended")))
          qFatal("%s: %s", qPrintable(path), qPrintable(e));
      if (limit.hasExpired())
        qFatal("the page did not load");
    }
    Load l;
    l.loadedMs = t.nsecsElapsed() / 1e6;
    // A page this large may keep its process busy past one script wait.
    QVariant first;
    for (int attempt = 0; attempt < 10 && !first.isValid(); ++attempt) {
      try {
        first = m_view->evaluate(QStringLiteral("window.qbrxFirstScreen || 0"));
      } catch (const AppError &) {
      }
    }
    l.firstScreenMs = first.toDouble() > 0 ? first.toDouble() - double(start) : l.loadedMs;
    return l;
  }

  void report(const QString &name, int size, bool ownStyle) {
    makePages(size);
    setOwnStyle(ownStyle);
    const int rounds = qEnvironmentVariableIsSet("QBRX_BENCH_ROUNDS") ? qEnvironmentVariableIntValue("QBRX_BENCH_ROUNDS")
                       : size >= 20000                             ? 1
                       : size >= 5000                              ? 2
                                                                   : 5;
    std::vector<double> first, loaded, cutFirst;
    load(m_cuts[size]); // warm
    for (int i = 0; i < rounds; ++i) {
      const Load paper = load(m_pages[size]);
      const Load cut = load(m_cuts[size]);
      first.push_back(paper.firstScreenMs);
      loaded.push_back(paper.loadedMs);
      cutFirst.push_back(cut.firstScreenMs);
    }
    setOwnStyle(true);
    const double f = medianOf(first), l = medianOf(loaded), c = medianOf(cutFirst);
    qInfo("view %s %6d: first screen %8.0f ms, loaded %8.0f ms; cut page's first screen %6.0f ms; ratio %.2f",
          qPrintable(name), size, f, l, c, c > 0 ? f / c : 0.0);
    QTest::setBenchmarkResult(c > 0 ? 1000 * f / c : 0, QTest::Events);
  }

  static void sizeRows() {
    QTest::addColumn<int>("size");
    QString list = qEnvironmentVariable("QBRX_BENCH_SIZES");
    if (list.isEmpty())
      list = QStringLiteral("100,1000,5000,10000,20000");
    for (const QString &s : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
      QTest::newRow(qPrintable(s.trimmed())) << s.trimmed().toInt();
  }

private slots:
  void initTestCase() {
    const QString root = m_tmp.path() + QLatin1Char('/');
    if (qEnvironmentVariableIsSet("QBRX_BENCH_KEEP")) {
      m_tmp.setAutoRemove(false);
      qInfo("pages kept in %s", qPrintable(root));
    }
    makeBenchBank(root, 11);
    m_dir = ProgramDir(root);
    QCOMPARE(OpenBankAtStartup(m_dm, root), StartupResult::Opened);
    LoadSystemParameters(m_dm);
    WriteStyleSheet(m_dir);
    QDir().mkpath(root + QStringLiteral("images"));
    for (const char *image : {"MainBackground.gif", "dot.gif"})
      QFile::copy(TestEnv::sourceDir() + QStringLiteral("/assets/images/") + QLatin1String(image),
                  root + QStringLiteral("images/") + QLatin1String(image));
    m_view = std::make_unique<WebHtmlView>();
    QWebEngineScript measure;
    measure.setName(QStringLiteral("bench-first-screen"));
    measure.setInjectionPoint(QWebEngineScript::DocumentCreation);
    measure.setWorldId(QWebEngineScript::MainWorld);
    measure.setSourceCode(QString::fromLatin1(kMeasure));
    m_view->page()->scripts().insert(measure);
    m_view->resize(1024, 768);
    m_view->show();
  }

  void cleanupTestCase() { m_view.reset(); }

  void firstScreen_data() { sizeRows(); }
  void firstScreen() {
    QFETCH(int, size);
    report(QStringLiteral("as shown     "), size, true);
  }

  void firstScreenWithoutOwnStyle_data() { sizeRows(); }
  void firstScreenWithoutOwnStyle() {
    QFETCH(int, size);
    const int max = qEnvironmentVariableIsSet("QBRX_BENCH_PLAIN_MAX") ? qEnvironmentVariableIntValue("QBRX_BENCH_PLAIN_MAX")
                                                                      : 20000;
    if (size > max)
      QSKIP("larger than QBRX_BENCH_PLAIN_MAX");
    report(QStringLiteral("without style"), size, false);
  }
};

QBRX_TEST_MAIN(BenchPaperView)
#include "bench_paperview.moc"
