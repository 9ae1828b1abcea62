// The favourites window on a 100,000-question bank (QBRX_BENCH_QUESTIONS)
// with 10,000 favourites spread over its sections, one section holding
// 1,000 of them. Opening the window (the favourites read and every page's
// list filled) beside one read of the favourites left-joined with their
// case stems; removing that section's 1,000 favourites from the summary
// page (one transaction, the page and row gone) beside one transaction of
// the same UPDATEs alone.

#include "BankSynth.h"
#include "FakeDialogs.h"
#include "Interleaved.h"
#include "TestEnv.h"
#include "collections/Favourites.h"
#include "app/ui/PageControl.h"
#include "collections/ui/SCJST.h"
#include "store/DM.h"
#include "store/Startup.h"
#include "store/Transaction.h"

#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

class BenchFavourites : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  TDataModule1 m_dm;
  std::vector<int> m_section; // the 1,000 favourites of the first section

  void remark() {
    QStringList ids;
    for (int x : m_section)
      ids << QString::number(x);
    m_dm.ADOConnection1.ExecuteScript(QStringLiteral("UPDATE 小题 SET 是否收藏=1 WHERE 小题号 IN(") +
                                      ids.join(QLatin1Char(',')) + QStringLiteral(");"));
  }

private slots:
  void initTestCase() {
    const int questions = qEnvironmentVariableIntValue("QBRX_BENCH_QUESTIONS");
    const int n = questions > 0 ? questions : 100000;
    SynthesizeBank(m_dir.path() + QStringLiteral("/QBRX.db"), n, 6);
    QCOMPARE(OpenBankAtStartup(m_dm, ProgramDir(m_dir.path()).root()), StartupResult::Opened);
    // Every tenth question a favourite; the first 1,000 of them moved into
    // the first section.
    m_dm.ADOConnection1.ExecuteScript(QStringLiteral(
        "UPDATE 小题 SET 是否收藏=CASE WHEN 小题号%10=0 THEN 1 ELSE 0 END;"
        "UPDATE 小题 SET 所属编号=(SELECT min(编号) FROM 题目类别 WHERE 属性='2') WHERE 小题号 IN"
        "(SELECT 小题号 FROM 小题 WHERE 是否收藏=1 ORDER BY 小题号 LIMIT 1000);"));
    TADOQuery q(m_dm.ADOConnection1, QStringLiteral("section"));
    q.SQL.Add(QStringLiteral("SELECT 小题号 FROM 小题 WHERE 是否收藏=1 AND 所属编号=(SELECT min(编号) FROM 题目类别 "
                             "WHERE 属性='2') ORDER BY 小题号"));
    q.Open();
    for (q.First(); !q.Eof(); q.Next())
      m_section.push_back(q.Fields(0).AsInteger());
    const std::vector<FavouriteChapter> chapters = ReadFavourites(m_dm);
    std::size_t total = 0;
    for (const FavouriteChapter &c : chapters)
      total += c.rows.size();
    qInfo("favourites: %d in %d sections, %d in the first", int(total), int(chapters.size()), int(m_section.size()));
  }

  void openWindow() {
    const auto open = [this] {
      TFrmSCJST form(m_dm, ReadFavourites(m_dm));
      QVERIFY(form.PageControl1->count() > 1);
    };
    const auto floor = [this] {
      TADOQuery q(m_dm.ADOConnection1, QStringLiteral("floor"));
      q.SQL.Add(QStringLiteral("SELECT s.小题号,COALESCE(d.大题内容,s.题目内容),s.题目类型,s.所属编号 FROM 小题 s "
                               "LEFT JOIN 大题 d ON d.大题号=s.小题号 WHERE s.是否收藏=1"));
      q.Open();
    };
    reportInterleaved(QStringLiteral("favourites window / one LEFT JOIN of the favourites"), open, floor, 7);
  }

  // Each round marks the section again and opens the window (not timed),
  // then times 取消收藏 on its summary row; the floor the same UPDATEs in
  // one transaction.
  void removeSection() {
    FakeDialogs yes;
    yes.defaultAnswer = true;
    std::vector<double> cost, floor;
    for (int round = 0; round < 8; ++round) {
      remark();
      {
        TFrmSCJST form(m_dm, ReadFavourites(m_dm));
        form.StringGrid1->selectRow(0);
        const int pages = form.PageControl1->count();
        QElapsedTimer t;
        t.start();
        form.ActCancel();
        const double ms = t.nsecsElapsed() / 1e6;
        QCOMPARE(form.PageControl1->count(), pages - 1);
        if (round > 0)
          cost.push_back(ms);
      }
      remark();
      QElapsedTimer t;
      t.start();
      {
        Transaction tr(m_dm.ADOConnection1);
        TADOQuery q(m_dm.ADOConnection1, QStringLiteral("floor"));
        q.SQL.Add(QStringLiteral("UPDATE 小题 SET 是否收藏=? WHERE 小题号=?"));
        for (int x : m_section)
          q.execSQLWith({0, x});
        tr.commit();
      }
      if (round > 0)
        floor.push_back(t.nsecsElapsed() / 1e6);
    }
    const double a = medianOf(cost), b = medianOf(floor);
    qInfo("ratio removing %d favourites / one transaction of the same UPDATEs: %.3f/%.3f ms = %.2f",
          int(m_section.size()), a, b, b > 0 ? a / b : 0.0);
    QTest::setBenchmarkResult(b > 0 ? 1000 * a / b : 0, QTest::Events);
  }
};

QBRX_TEST_MAIN(BenchFavourites)
#include "bench_favourites.moc"
