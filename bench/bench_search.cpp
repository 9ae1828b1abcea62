// The question search on a 100,000-question bank (QBRX_BENCH_QUESTIONS),
// every scope node ticked: the search as the dialog runs it (the scope
// lookups, the LIKE scan with its order, a case question once, the result
// rows) beside its floor, the same LIKE scan alone over 小题 walked to its
// end; and the same with the result list made, filled and painted. For a
// word of two syllables (about 1% of the questions), one of three (a few),
// and "%" (every question: neither reads a question's text; the list reads
// those of the rows it shows).

#include "BankSynth.h"
#include "BenchBank.h"
#include "Interleaved.h"
#include "TestEnv.h"
#include "collections/QuestionSearch.h"
#include "collections/ui/SCJST.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

class BenchSearch : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  TDataModule1 m_dm;
  std::vector<qint32> m_scope;

  void likeScan(const QString &text) {
    TADOQuery q(m_dm.ADOConnection1, QStringLiteral("floor"));
    q.SQL.Add(QStringLiteral("SELECT 小题号 FROM 小题 WHERE 题目内容 LIKE ") +
              QuotedStr(QLatin1Char('%') + text + QLatin1Char('%')));
    int rows = 0;
    q.OpenForward([&](const TForwardRow &) { ++rows; });
  }

private slots:
  void initTestCase() {
    const QString root = m_dir.path() + QLatin1Char('/');
    makeBenchBank(root, 5);
    QCOMPARE(OpenBankAtStartup(m_dm, root), StartupResult::Opened);
    for (const SearchScopeNode &n : QuestionSearch(m_dm).scopeNodes())
      m_scope.push_back(n.id);
  }

  void search_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("管理") << QStringLiteral("管理");
    QTest::newRow("管理信") << QStringLiteral("管理信");
    QTest::newRow("%") << QStringLiteral("%");
  }
  void search() {
    QFETCH(QString, text);
    const SearchOutcome o = QuestionSearch(m_dm).run(text, m_scope);
    qInfo("%s: %d questions found", qPrintable(text), int(o.rows.size()));
    reportInterleaved(QStringLiteral("search '%1' / the LIKE scan alone").arg(text),
                      [&] { QuestionSearch(m_dm).run(text, m_scope); }, [&] { likeScan(text); }, 9);
  }

  void searchWithResultList_data() { search_data(); }
  void searchWithResultList() {
    QFETCH(QString, text);
    reportInterleaved(
        QStringLiteral("search '%1' and its result list / the LIKE scan alone").arg(text),
        [&] {
          const SearchOutcome o = QuestionSearch(m_dm).run(text, m_scope);
          TFrmSCJST list(m_dm, o.rows);
          list.show();
          QVERIFY(QTest::qWaitForWindowExposed(&list));
          list.grab();
        },
        [&] { likeScan(text); }, 9);
  }
};

QBRX_TEST_MAIN(BenchSearch)
#include "bench_search.moc"
