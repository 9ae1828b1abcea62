// The question page on a large bank: papers of 100, 1,000 and 5,000
// sub-questions of mixed types, one in fifty of them in case questions of
// three. Measures, per paper size, the page builder, the real web view
// loading and laying out the page it wrote (most of what the learner waits
// for), and the floor: the same rows read with one joined SELECT and as many
// bytes written to a file. QBRX_BENCH_QUESTIONS overrides the size of the
// bank (100,000); QBRX_BENCH_SIZES the paper sizes ("100,1000,5000").

#include "BankSynth.h"
#include "BenchBank.h"
#include "Interleaved.h"
#include "TestEnv.h"
#include "common/ProgramDir.h"
#include "app/PaperState.h"
#include "render/PageBuilder.h"
#include "render/StyleSheet.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

namespace {
// A paper of about `size` sub-questions: stand-alone questions spread over
// the bank and size/50 case questions of three sub-questions.
struct Paper {
  std::vector<TXiaoTi> items;
  QStringList standAlone, caseNumbers;
  qint64 pageBytes = 0;
};
} // namespace

class BenchPageBuilder : public QObject {
  Q_OBJECT

  // The paper on display of the code under test.
  PaperState m_paperState;
  PaperState &paperState() { return m_paperState; }
  QTemporaryDir m_tmp;
  ProgramDir m_dir;
  TDataModule1 m_dm;
  QMap<int, Paper> m_papers;

  QString pagePath() const { return m_dir.questionPagePath(); }

  void build(const Paper &paper) {
    paperState().paper = paper.items;
    paperState().kind = PaperKinds::MockExam;
    BuildQuestionPage(paperState(), QStringLiteral("模拟考场(2026-01-01 10:00:00)"), 0, m_dm, m_dir);
  }

  QStringList column(const QString &sql) {
    TADOQuery &q = m_dm.ADOQuery2;
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(sql);
    q.Open();
    QStringList out;
    for (q.First(); !q.Eof(); q.Next())
      out << q.Fields(0).AsString();
    return out;
  }

  // The paper of `size`, built once and checked; its page is on disk after.
  const Paper &paper(int size) {
    auto it = m_papers.find(size);
    if (it == m_papers.end()) {
      Paper p;
      const int cases = std::max(1, size / 50);
      p.caseNumbers = column(QStringLiteral("SELECT 大题号 FROM 大题 ORDER BY (大题号*7919)%1000003 LIMIT %1").arg(cases));
      const QString caseList = p.caseNumbers.join(QLatin1Char(','));
      const int caseSubs =
          column(QStringLiteral("SELECT count(*) FROM 小题 WHERE 大题号 IN(%1)").arg(caseList))[0].toInt();
      p.standAlone = column(QStringLiteral("SELECT 小题号 FROM 小题 WHERE 大题号=小题号 AND 小题号 NOT IN(SELECT 大题号 FROM 大题)"
                                           " ORDER BY (小题号*7919)%1000003 LIMIT %1")
                                .arg(size - caseSubs));
      for (const QStringList *list : {&p.standAlone, &p.caseNumbers})
        for (const QString &n : *list)
          p.items.push_back(TXiaoTi{n.toInt()});
      it = m_papers.insert(size, p);
      build(*it);
      qInfo("paper: %d sub-questions, %d case questions, page of %lld bytes", size, int(it->caseNumbers.size()),
            QFileInfo(pagePath()).size());
    }
    build(*it);
    QFile page(pagePath());
    if (!page.open(QIODevice::ReadOnly))
      qFatal("the page was not written");
    const QByteArray bytes = page.readAll();
    it->pageBytes = bytes.size();
    if (int(bytes.count("class=\"TestMainTitle\"")) != size ||
        int(bytes.count("\r\n\xA3\xA8")) != it->caseNumbers.size()) // case stems: lines starting with "（"
      qFatal("the page of %d sub-questions is not as planned", size);
    return *it;
  }

  // The same rows read with one joined SELECT, as many bytes written.
  void floor(const Paper &p) {
    const QString sql =
        QStringLiteral("SELECT x.*, o.答题选项, t.类型说明, d.大题内容 FROM 小题 x"
                       " LEFT JOIN 答案选项 o ON o.大题号=x.大题号 AND o.小题号=x.小题号"
                       " LEFT JOIN 类型说明 t ON t.题目类型=x.题目类型"
                       " LEFT JOIN 大题 d ON d.大题号=x.大题号"
                       " WHERE x.小题号 IN(%1) OR x.大题号 IN(%2)"
                       " ORDER BY x.题目类型编号, x.小题号, o.答案编号")
            .arg(p.standAlone.join(QLatin1Char(',')), p.caseNumbers.join(QLatin1Char(',')));
    TADOQuery &q = m_dm.ADOQuery3;
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(sql);
    q.Open();
    QByteArray bytes;
    bytes.reserve(p.pageBytes);
    for (q.First(); !q.Eof(); q.Next())
      for (int i = 0; i < q.FieldCount(); ++i)
        bytes += q.Fields(i).AsString().toUtf8();
    bytes.resize(p.pageBytes, ' ');
    QFile f(m_tmp.path() + QStringLiteral("/floor.html"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != p.pageBytes)
      qFatal("the floor's file was not written");
  }

private slots:
  void initTestCase() {
    const QString root = m_tmp.path() + QLatin1Char('/');
    makeBenchBank(root, 11);
    m_dir = ProgramDir(root);
    QCOMPARE(OpenBankAtStartup(m_dm, root), StartupResult::Opened);
    LoadSystemParameters(m_dm);

    // The sheet and its pictures, as the program directory holds them; the
    // plain view below resolves no letter case, so the sheet is written
    // under the name the page links as well.
    WriteStyleSheet(m_dir);
    QFile::copy(m_dir.styleSheetPath(), root + QStringLiteral("css/main.css"));
    QDir().mkpath(root + QStringLiteral("images"));
    for (const char *image : {"MainBackground.gif", "dot.gif"})
      QFile::copy(TestEnv::sourceDir() + QStringLiteral("/assets/images/") + QLatin1String(image),
                  root + QStringLiteral("images/") + QLatin1String(image));
  }

  void buildQuestionPage_data() { paperSizeRows(); }
  void buildQuestionPage() {
    QFETCH(int, size);
    const Paper &p = paper(size);
    QBENCHMARK {
      build(p);
    }
  }

  void floorJoinedSelectAndWrite_data() { paperSizeRows(); }
  void floorJoinedSelectAndWrite() {
    QFETCH(int, size);
    const Paper &p = paper(size);
    QBENCHMARK {
      floor(p);
    }
  }

  // The builder beside its floor, alternating (the goal: at most 2 x).
  void builderOverFloor_data() { paperSizeRows(); }
  void builderOverFloor() {
    QFETCH(int, size);
    const Paper &p = paper(size);
    reportInterleaved(
        QStringLiteral("page builder / one-join floor (%1)").arg(size), [&] { build(p); }, [&] { floor(p); },
        roundsFor(size / 20.0));
  }

  void viewLoadsAndLaysOutPage_data() { paperSizeRows(); }
  void viewLoadsAndLaysOutPage() {
    QFETCH(int, size);
    paper(size);
    QWebEngineView view;
    view.resize(1024, 768);
    view.show();
    int round = 0;
    QBENCHMARK {
      QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
      QUrl url = QUrl::fromLocalFile(pagePath());
      url.setQuery(QStringLiteral("r=%1").arg(++round)); // a new load every time
      view.setUrl(url);
      QVERIFY(loaded.wait(120000));
      QVERIFY(loaded.first().first().toBool());
      // Layout: the page's full height, read once loading is done.
      int height = -1;
      view.page()->runJavaScript(QStringLiteral("document.body.scrollHeight"),
                                 [&height](const QVariant &v) { height = v.toInt(); });
      QTRY_VERIFY_WITH_TIMEOUT(height > 0, 60000);
    }
  }
};

QBRX_TEST_MAIN(BenchPageBuilder)
#include "bench_pagebuilder.moc"
