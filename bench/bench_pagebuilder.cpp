// The question page on a large bank: a paper of 1,000 sub-questions of mixed
// types with 20 case questions. Measures the page builder, the real web
// view loading and laying out the page it wrote, and the floor: the same rows
// read with one joined SELECT and as many bytes written to a file.
// QBRX_BENCH_QUESTIONS overrides the size of the bank (100,000).

#include "BankSynth.h"
#include "TestEnv.h"
#include "common/ProgramDir.h"
#include "render/Global.h"
#include "render/PageBuilder.h"
#include "render/StyleSheet.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/SystemParameters.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

namespace {
constexpr int kCases = 20;
constexpr int kSubQuestions = 1000;
} // namespace

class BenchPageBuilder : public QObject {
  Q_OBJECT
  QTemporaryDir m_tmp;
  ProgramDir m_dir;
  TDataModule1 m_dm;
  std::vector<TXiaoTi> m_paper;
  QStringList m_standAlone, m_caseNumbers;
  qint64 m_pageBytes = 0;

  QString pagePath() const { return m_dir.questionPagePath(); }

  void build() {
    CurrentPaper = m_paper;
    PaperKind = PaperKinds::MockExam;
    BuildQuestionPage(QStringLiteral("模拟考场(2026-01-01 10:00:00)"), 0, m_dm, m_dir);
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

private slots:
  void initTestCase() {
    const QString root = m_tmp.path() + QLatin1Char('/');
    const int questions = qEnvironmentVariableIntValue("QBRX_BENCH_QUESTIONS");
    SynthesizeBank(root + QStringLiteral("QBRX.db"), questions > 0 ? questions : 100000, 11);
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

    // 20 case questions of three sub-questions each, and stand-alone
    // questions of every type up to 1,000 sub-questions, spread over the bank.
    m_caseNumbers = column(QStringLiteral("SELECT 大题号 FROM 大题 ORDER BY 大题号 LIMIT %1").arg(kCases));
    const QString cases = m_caseNumbers.join(QLatin1Char(','));
    const int caseSubs = column(QStringLiteral("SELECT count(*) FROM 小题 WHERE 大题号 IN(%1)").arg(cases))[0].toInt();
    m_standAlone = column(QStringLiteral("SELECT 小题号 FROM 小题 WHERE 大题号=小题号 AND 小题号 NOT IN(SELECT 大题号 FROM 大题)"
                                         " ORDER BY (小题号*7919)%1000003 LIMIT %1")
                              .arg(kSubQuestions - caseSubs));
    for (const QStringList *list : {&m_standAlone, &m_caseNumbers})
      for (const QString &n : *list)
        m_paper.push_back(TXiaoTi{n.toInt()});

    build();
    QFile page(pagePath());
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray bytes = page.readAll();
    m_pageBytes = bytes.size();
    QCOMPARE(int(bytes.count("class=\"TestMainTitle\"")), kSubQuestions);
    QCOMPARE(int(bytes.count("\r\n\xA3\xA8")), kCases); // case stems: lines starting with "（"
    QVERIFY(bytes.count("type=\"CheckBox\"") > 0 && bytes.count("<textarea") > 0);
    qInfo("page: %lld bytes, %d sub-questions, %d case questions", m_pageBytes, kSubQuestions, kCases);
  }

  void buildQuestionPage() {
    QBENCHMARK {
      build();
    }
  }

  void viewLoadsAndLaysOutPage() {
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

  void floorJoinedSelectAndWrite() {
    const QString sql =
        QStringLiteral("SELECT x.*, o.答题选项, t.类型说明, d.大题内容 FROM 小题 x"
                       " LEFT JOIN 答案选项 o ON o.大题号=x.大题号 AND o.小题号=x.小题号"
                       " LEFT JOIN 类型说明 t ON t.题目类型=x.题目类型"
                       " LEFT JOIN 大题 d ON d.大题号=x.大题号"
                       " WHERE x.小题号 IN(%1) OR x.大题号 IN(%2)"
                       " ORDER BY x.题目类型编号, x.小题号, o.答案编号")
            .arg(m_standAlone.join(QLatin1Char(',')), m_caseNumbers.join(QLatin1Char(',')));
    const QString out = m_tmp.path() + QStringLiteral("/floor.html");
    QBENCHMARK {
      TADOQuery &q = m_dm.ADOQuery3;
      q.Close();
      q.SQL.Clear();
      q.SQL.Add(sql);
      q.Open();
      QByteArray bytes;
      bytes.reserve(m_pageBytes);
      for (q.First(); !q.Eof(); q.Next())
        for (int i = 0; i < q.FieldCount(); ++i)
          bytes += q.Fields(i).AsString().toUtf8();
      bytes.resize(m_pageBytes, ' ');
      QFile f(out);
      QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      QCOMPARE(f.write(bytes), m_pageBytes);
    }
  }
};

QBRX_TEST_MAIN(BenchPageBuilder)
#include "bench_pagebuilder.moc"
