// test-links: widgets
// "温故知新": the list of stored tests, the questions of one test and the
// paper made of them, from the logic and through the program's own dialogs.
// ctest-timeout: 180

#include "FakeDialogs.h"
#include "BankFixture.h"
#include "FeatureHarness.h"
#include "ModalDriver.h"
#include "PaperHelpers.h"
#include "TestEnv.h"
#include "app/ui/WidgetDialogs.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperPresenter.h"
#include "exam/TestRecordStore.h"
#include "exam/TestReport.h"
#include "review/PastTests.h"
#include "review/ui/ReviewCommands.h"
#include "review/ui/RowsTableModel.h"
#include "review/ui/WGZX.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include "app/PaperState.h"

#include <QtTest>

namespace {

// Test 1 holds 3 stand-alone questions (stored out of order); test 2 two
// sub-questions of case 20 (head 20 stored too); test 3 only the non-head
// sub-question 31 of case 30 (a written head is never stored); test 4 none.
const QString kHistory = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),(10,'章',1,'1'),(100,'节',10,'2');\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案) VALUES"
    "(5,5,100,'单项选择题',1,'题五','A'),(6,6,100,'单项选择题',1,'题六','A'),(7,7,100,'判断题',2,'题七','A'),"
    "(20,20,100,'案例分析题',9,'案例二十','A'),(21,20,100,'单项选择题',9,'二十之一','A'),"
    "(30,30,100,'简答题',9,'案例三十','x'),(31,30,100,'单项选择题',9,'三十之一','A');\n"
    "INSERT INTO 测试结果(编号,测试名称,试题数,答对,总分,得分,正确率,测试时间,测试类型,所属章节) VALUES"
    "(1,'节',3,1,30,10,0.333333333333333,'2026-01-02 03:04:05',1,100),"
    "(2,'模拟考场',2,1,2,1,0.5,'2026-01-03 00:00:00',2,0),"
    "(3,'收藏试题',1,0,1,0,0,'2026-01-04 00:00:00',4,0),"
    "(4,'空',0,0,0,0,0,'2026-01-05 00:00:00',5,0);\n"
    "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(1,7,0),(1,5,-1),(1,6,0),(2,20,0),(2,21,0),(3,31,0);\n");


} // namespace

class TstPastTests : public QObject {
  Q_OBJECT

private slots:
  void cells_data() {
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QString>("shown");
    QTest::newRow("half") << 0.5 << QStringLiteral("50.00％");
    QTest::newRow("10 of 30 marks") << 10.0 / 30.0 << QStringLiteral("33.33％");
    QTest::newRow("none") << 0.0 << QStringLiteral("0.00％");
    QTest::newRow("all") << 1.0 << QStringLiteral("100.00％");
  }
  void cells() {
    QFETCH(double, ratio);
    QFETCH(QString, shown);
    QCOMPARE(AccuracyCell(ratio), shown);
    QCOMPARE(MarksCell(30), QStringLiteral("30.00"));
  }

  void testList() {
    OpenedBank bank({kHistory});
    PastTests t(bank.dm);
    QCOMPARE(t.headers().first(), QStringLiteral("    测试名称"));
    QCOMPARE(t.headers().last(), QStringLiteral("    测试时间"));
    QCOMPARE(t.RowNumbers(), (std::vector<qint64>{1, 2, 3, 4}));
    QCOMPARE(t.rows()[0], (QStringList{QStringLiteral("节"), QStringLiteral("3"), QStringLiteral("1"),
                                      QStringLiteral("30.00"), QStringLiteral("10.00"), QStringLiteral("33.33％"),
                                      QStringLiteral("33.33％"), QStringLiteral("2026-01-02 03:04:05")}));
  }

  // Which questions a test lists, and the paper each control makes.
  void questionsAndPapers() {
    OpenedBank bank({kHistory});
    PastTests t(bank.dm);
    using C = PastTests::Control;
    // 显示试题 on test 1: its questions in 小题号 order.
    PastTests::Outcome o = t.activate(C::Button, 0, 0);
    QVERIFY(o.switchedToQuestions && !o.paper);
    QCOMPARE(t.RowNumbers(), (std::vector<qint64>{5, 6, 7}));
    QCOMPARE(t.rows()[2], (QStringList{QStringLiteral("3"), QStringLiteral("题七"), QStringLiteral("判断题")}));
    // 生成试卷: all three, in list order.
    o = t.activate(C::Button, 1, 1);
    QCOMPARE(numbers(*o.paper), (std::vector<int>{5, 6, 7}));
    // A double click on a question: that one alone.
    o = t.activate(C::Grid, 1, 1);
    QCOMPARE(numbers(*o.paper), std::vector<int>{6});

    // A case is listed once, by its head, and also when only a non-head
    // sub-question was stored.
    t.showAllTests();
    t.activate(C::Grid, 0, 1);
    QCOMPARE(t.RowNumbers(), std::vector<qint64>{20});
    QCOMPARE(numbers(*t.activate(C::Button, 1, 0).paper), std::vector<int>{20});
    t.showAllTests();
    t.activate(C::Grid, 0, 2);
    QCOMPARE(t.RowNumbers(), std::vector<qint64>{30});

    // A test without questions: "没有题目", and no control makes a paper.
    t.showAllTests();
    t.activate(C::Grid, 0, 3);
    QCOMPARE(t.rows().size(), std::size_t(1));
    QCOMPARE(t.rows()[0][1], QStringLiteral("没有题目"));
    for (int tag : {0, 1})
      for (C c : {C::Button, C::Grid}) {
        o = t.activate(c, tag, 0);
        QVERIFY(!o.paper && !o.beep && !o.switchedToQuestions);
      }
  }

  // An empty history: the placeholder row, which beeps when opened.
  void emptyHistory() {
    OpenedBank bank({QString()});
    PastTests t(bank.dm);
    QCOMPARE(t.rows().size(), std::size_t(1));
    QCOMPARE(t.rows()[0][1], QStringLiteral("没有收藏的题目"));
    QVERIFY(t.RowNumbers().empty());
    QVERIFY(t.activate(PastTests::Control::Grid, 0, 0).beep);
  }

  // The command through the production dialogs and a real modal exec():
  // 显示试题 then 生成试卷 on the first test gives a kind-5 paper of its three
  // questions; 关闭 gives nothing to show.
  void commandThroughTheRealDialogs() {
    FeatureHarness h({kHistory}, FeatureHarness::RealDialogs);
    h.registerCommands(registerReviewCommands);
    const RecordingPresenter &presenter = h.presenter;

    QStringList firstRow, captions;
    ModalDriver driver;
    driver
        .onModal<TFrmWGZX>([&](TFrmWGZX &form) {
          QAbstractItemModel *m = form.StringGrid1->model();
          for (int c = 0; c < m->columnCount(); ++c)
            firstRow << m->data(m->index(0, c)).toString();
          form.StringGrid1->selectRow(0);
          form.BitBtn2->click();
          captions << form.BitBtn2->text();
        })
        .onModal<TFrmWGZX>([&](TFrmWGZX &form) {
          captions << form.StringGrid1->model()->index(2, 1).data().toString();
          QMetaObject::invokeMethod(form.BitBtn2, &QPushButton::click, Qt::QueuedConnection);
        })
        .onModal<TFrmWGZX>([&](TFrmWGZX &form) {
          QMetaObject::invokeMethod(form.BitBtn3, &QPushButton::click, Qt::QueuedConnection);
        });
    h.command(QStringLiteral("ActWGZX"))->trigger();
    QCOMPARE(driver.stepsDone(), 2);
    h.command(QStringLiteral("ActWGZX"))->trigger();
    QVERIFY2(driver.done(), qPrintable(driver.failure()));

    QCOMPARE(firstRow.value(5), QStringLiteral("33.33％"));
    QCOMPARE(firstRow.value(6), QStringLiteral("33.33％"));
    QCOMPARE(captions, (QStringList{QStringLiteral("生成试卷"), QStringLiteral("题七")}));
    QCOMPARE(presenter.shown.size(), 1);
    QCOMPARE(numbers(presenter.shown[0].paper), (std::vector<int>{5, 6, 7}));
    QCOMPARE(presenter.shown[0].kind, PaperKinds::Review);
    QVERIFY(presenter.shown[0].title.startsWith(QStringLiteral("温故知新(")));
  }

  // 正确率 reads as the result report's: right answers ÷ questions, rounded
  // the same way (a tie rounds away from zero).
  void accuracyAsTheReport_data() {
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("count");
    QTest::newRow("4 of 7") << 4 << 7;
    QTest::newRow("1 of 3") << 1 << 3;
    QTest::newRow("2 of 3") << 2 << 3;
    QTest::newRow("a tie: 1 of 800") << 1 << 800;
    QTest::newRow("all") << 9 << 9;
    QTest::newRow("no questions") << 0 << 0;
  }
  void accuracyAsTheReport() {
    QFETCH(int, right);
    QFETCH(int, count);
    QString report = ReportCountPercent(right, count);
    report.chop(1);
    QCOMPARE(CountAccuracyCell(right, count), report + QChar(0xFF05));
  }

  // A cell's tooltip shows a bank's text as written, markup and all.
  void tooltipsShowTextAsWritten() {
    RowsTableModel model;
    model.setRows({QStringLiteral("题目内容")}, {{QStringLiteral("<img src=x>甲")}});
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("<img src=x>甲"));
    const QString tip = model.data(model.index(0, 0), Qt::ToolTipRole).toString();
    QVERIFY(tip.contains(QStringLiteral("&lt;img src=x&gt;甲")));
    QVERIFY(!tip.contains(QStringLiteral("<img")));
  }

  // A test graded and stored as the program does, with two question types
  // of different marks: 温故知新's 正确率 is the report's (4 of 7 right,
  // 57.14), and the share of marks the record keeps (5 of 10, 50.00) is
  // the 得分率 beside it.
  void rowAgreesWithTheReport() {
    OpenedBank bank({QString()});
    TTest single;
    single.TiMuType = QStringLiteral("单项选择题");
    single.NumOfShiTi = 4;
    single.Right = 3;
    single.Total = 4;
    single.Score = 3;
    single.MNPP = 0.75f;
    TTest multiple;
    multiple.TiMuType = QStringLiteral("多项选择题");
    multiple.NumOfShiTi = 3;
    multiple.Right = 1;
    multiple.Total = 6;
    multiple.Score = 2;
    multiple.MNPP = float(1.0 / 3.0);
    const TestReport report = BuildTestReport({single, multiple});
    TestOutcome outcome;
    outcome.kind = PaperKinds::MockExam;
    outcome.title = QStringLiteral("模拟考场(2026-03-01 10:00:00)");
    outcome.totals = report.totals;
    TestRecordStore store(bank.dm);
    QCOMPARE(store.store(outcome, QDateTime(QDate(2026, 3, 1), QTime(10, 30))), TestRecordStore::Result::Saved);
    // The report's 正确率 is the last cell of its total row.
    QString reported;
    for (const QString &line : report.lines)
      if (line.contains(QStringLiteral(">合计<")))
        reported = line.section(QStringLiteral("class=\"table1\">"), -1).section(QLatin1Char('<'), 0, 0);
    QCOMPARE(reported, QStringLiteral("57.14%"));

    TFrmWGZX form(bank.dm);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QAbstractItemModel *m = form.StringGrid1->model();
    QStringList headers;
    for (int c = 0; c < m->columnCount(); ++c)
      headers << m->headerData(c, Qt::Horizontal).toString().trimmed();
    const int accuracy = int(headers.indexOf(QStringLiteral("正确率")));
    const int marks = int(headers.indexOf(QStringLiteral("得分率")));
    QVERIFY(accuracy >= 0 && marks >= 0);
    QString shown = m->data(m->index(0, accuracy)).toString();
    QVERIFY(shown.endsWith(QChar(0xFF05)));
    shown.chop(1);
    QCOMPARE(shown + QLatin1Char('%'), reported);
    QCOMPARE(m->data(m->index(0, marks)).toString(), QStringLiteral("50.00％"));
    // Every column is wide enough for its header and its cells (nothing
    // cut), the test list and a test's question list alike.
    const auto uncut = [&form] {
      QAbstractItemModel *grid = form.StringGrid1->model();
      const QFontMetrics head(form.StringGrid1->horizontalHeader()->font());
      const QFontMetrics cells(form.StringGrid1->font());
      for (int c = 0; c < grid->columnCount(); ++c) {
        int needed = head.horizontalAdvance(grid->headerData(c, Qt::Horizontal).toString());
        for (int r = 0; r < grid->rowCount(); ++r)
          needed = std::max(needed, cells.horizontalAdvance(grid->index(r, c).data().toString()));
        QVERIFY2(form.StringGrid1->columnWidth(c) >= needed, qPrintable(grid->headerData(c, Qt::Horizontal).toString()));
      }
    };
    uncut();
    OpenedBank other({kHistory});
    TFrmWGZX questions(other.dm);
    questions.show();
    QVERIFY(QTest::qWaitForWindowExposed(&questions));
    questions.StringGrid1->selectRow(0);
    questions.BitBtn2->click();
    QCOMPARE(questions.StringGrid1->model()->rowCount(), 3);
    const QFontMetrics fm(questions.StringGrid1->font());
    QVERIFY(questions.StringGrid1->columnWidth(2) >= fm.horizontalAdvance(QStringLiteral("单项选择题")));
    QVERIFY(questions.StringGrid1->columnWidth(1) >= 480);
  }
};

QBRX_TEST_MAIN(TstPastTests)
#include "tst_pasttests.moc"
