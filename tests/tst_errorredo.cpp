// test-links: widgets
// "错题重做" as the learner meets it: the production dialogs and a real modal
// exec(), the pages and rows read from the live window.
// ctest-timeout: 180

#include "BankFixture.h"
#include "FeatureHarness.h"
#include "ModalDriver.h"
#include "TestEnv.h"
#include "collections/ui/StringGridSC.h"
#include "app/ui/PageControl.h"
#include "app/ui/WidgetDialogs.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperPresenter.h"
#include "review/ui/ErrorRedo.h"
#include "review/ui/ReviewCommands.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include "app/PaperState.h"
#include "exam/TestRecordStore.h"

#include <QtTest>

namespace {

// Chapter tests 1 (two wrong questions, 5 and 6) and 2 (one, 7); test 3 is
// the newest of chapter 100 but has none. One mock exam (10).
const QString kBank = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),(10,'章',1,'1'),"
    "(100,'第一节 概述',10,'2'),(200,'第一节 概述',10,'2');\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案) VALUES"
    "(5,5,100,'单项选择题',1,'<b>题五</b>','A'),(6,6,100,'单项选择题',1,'题六','A'),(7,7,200,'判断题',2,'题七','A');\n"
    "INSERT INTO 测试结果(编号,测试名称,试题数,答对,测试时间,测试类型,所属章节) VALUES"
    "(1,'第一节 概述',2,0,'2026-01-01 00:00:00',1,100),(2,'第一节 概述',1,0,'2026-01-02 00:00:00',1,200),"
    "(3,'第一节 概述',2,2,'2026-01-03 00:00:00',1,100),(10,'模拟考场',1,0,'2026-01-04 00:00:00',2,0);\n"
    "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(1,5,0),(1,6,0),(2,7,0),(3,5,-1),(3,6,-1),(10,7,0);\n");

// Two chapters of two subjects both called 第一章 / 第一节 概述, each with
// one wrong question of a long type name.
const QString kTwoSubjects = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'会计',0,'0'),(2,'税法',0,'0'),"
    "(10,'第一章',1,'1'),(20,'第一章',2,'1'),(100,'第一节 概述',10,'2'),(200,'第一节 概述',20,'2');\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案) VALUES"
    "(5,5,100,'单项选择题',1,'题五','A'),(6,6,200,'不定项选择题',3,'题六','A');\n"
    "INSERT INTO 测试结果(编号,测试名称,试题数,答对,测试时间,测试类型,所属章节) VALUES"
    "(1,'第一节 概述',1,0,'2026-01-01 00:00:00',1,100),(2,'第一节 概述',1,0,'2026-01-02 00:00:00',1,200);\n"
    "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(1,5,0),(2,6,0);\n");

} // namespace

class TstErrorRedo : public QObject {
  Q_OBJECT

private slots:
  void redoThroughTheRealDialogs() {
    FeatureHarness h({kBank}, FeatureHarness::RealDialogs);
    h.registerCommands(registerReviewCommands);
    TDataModule1 &dm = h.dm;
    const RecordingPresenter &presenter = h.presenter;

    QStringList tabs, rowsBefore, rowsAfter;
    int opened = -1;
    bool showAllOnChapters = true;
    const auto rows = [&](TStringGridSCJ *g) {
      QStringList out;
      for (int r = 0; r < g->dataRowCount(); ++r)
        out << g->model()->index(r, 0).data().toString() + QLatin1Char(' ') + g->content(r);
      return out;
    };
    ModalDriver driver;
    driver.onModal<TFrmErrorRedo>([&](TFrmErrorRedo &form) {
      for (int i = 0; i < form.PageControl1->count(); ++i)
        tabs << form.PageControl1->tabText(i);
      opened = form.PageControl1->currentIndex();
      form.PageControl1->setCurrentIndex(TabOf(RedoPage::Chapters));
      showAllOnChapters = form.BtnShowAll->isEnabled();
      form.PageControl1->setCurrentIndex(kFirstTestTab);
      rowsBefore = rows(form.testGrid(kFirstTestTab));
      form.testGrid(kFirstTestTab)->selectRow(0);
      QMetaObject::invokeMethod(form.BtnDel, &QPushButton::click, Qt::QueuedConnection);
    });
    driver.until<TFrmErrorRedo>([&](TFrmErrorRedo &form) {
      if (form.testGrid(kFirstTestTab)->dataRowCount() >= rowsBefore.size())
        return false; // the answered box may still be closing
      rowsAfter = rows(form.testGrid(kFirstTestTab));
      QMetaObject::invokeMethod(form.BtnShowAll, &QPushButton::click, Qt::QueuedConnection);
      return true;
    });
    h.command(QStringLiteral("ActErrorRedo"))->trigger();
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    const QStringList boxes = driver.boxTexts();

    QCOMPARE(tabs, (QStringList{QStringLiteral("今日复习"), QStringLiteral("模拟考试"), QStringLiteral("收藏试题"),
                                QStringLiteral("温故知新"), QStringLiteral("全部章节"), QStringLiteral("第一节 概述"),
                                QStringLiteral("第一节 概述")}));
    QCOMPARE(opened, kDueTab); // the bank's wrong questions are due

    QVERIFY(!showAllOnChapters);
    QCOMPARE(rowsBefore, (QStringList{QStringLiteral("1 <b>题五</b>"), QStringLiteral("2 题六")}));
    QCOMPARE(rowsAfter, QStringList{QStringLiteral("1 题六")});
    // The stem is asked about as written, then the question leaves test 1
    // only: test 3 keeps its row for question 5.
    QCOMPARE(boxes, QStringList{QStringLiteral("确定要删除 <b>题五</b>吗？(Y/N)")});
    QCOMPARE(presenter.shown.size(), 1);
    QCOMPARE(presenter.shown[0].kind, PaperKinds::Redo);
    QCOMPARE(presenter.shown[0].redoTestId, std::optional<quint32>(1));
    QCOMPARE(presenter.shown[0].paper.size(), std::size_t(1));
    QCOMPARE(presenter.shown[0].paper[0].XiaoTiHao, 6);
    QVERIFY(presenter.shown[0].title.startsWith(QStringLiteral("错题重做(")));
    TADOQuery q(dm.ADOConnection1, QStringLiteral("left"));
    q.SQL.Add(QStringLiteral("SELECT count(*) FROM 测试题目 WHERE 小题号=5"));
    q.Open();
    QCOMPARE(q.Fields(0).AsInteger(), 1);
  }

  // 全部删除 on the mock-exam page asks once for all and once per test;
  // Cancel afterwards hands nothing to show.
  void deleteAllOnAFixedPage() {
    FeatureHarness h({kBank}, FeatureHarness::RealDialogs);
    TDataModule1 &dm = h.dm;
    bool enabledAfter = true;
    ModalDriver driver;
    driver.onModal<TFrmErrorRedo>([&](TFrmErrorRedo &form) {
      form.PageControl1->setCurrentIndex(TabOf(RedoPage::MockExams));
      QMetaObject::invokeMethod(form.BtnDelAll, &QPushButton::click, Qt::QueuedConnection);
    });
    driver.until<TFrmErrorRedo>([&](TFrmErrorRedo &form) {
      if (form.BtnDel->isEnabled())
        return false; // until the page is empty
      enabledAfter = form.BtnDel->isEnabled();
      QMetaObject::invokeMethod(form.BtnClose, &QPushButton::click, Qt::QueuedConnection);
      return true;
    });
    const int result = execOwned(new TFrmErrorRedo(dm));
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    const QStringList boxes = driver.boxTexts();
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(boxes, (QStringList{QStringLiteral("确定将 模拟考试 下的测试记录全部删除吗？(Y/N)"),
                                 QStringLiteral("确定删除 模拟考场吗？(Y/N)")}));
    QVERIFY(!enabledAfter);
    TADOQuery q(dm.ADOConnection1, QStringLiteral("left"));
    q.SQL.Add(QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 编号=10"));
    q.Open();
    QCOMPARE(q.Fields(0).AsInteger(), 0);
  }

  // The pages of two "第一节 概述" tests name their subject and chapter, as
  // does the chapter list; a test page's 题目类型 column holds its longest
  // type uncut, and 题目内容 fills the rest of the row.
  void pagesAndColumnsReadable() {
    TestEnv::ProgramDirFixture dir({kTwoSubjects});
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    TFrmErrorRedo form(dm);
    form.resize(860, 540);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QStringList names{QStringLiteral("会计 · 第一章 · 第一节 概述"), QStringLiteral("税法 · 第一章 · 第一节 概述")};
    QCOMPARE(form.PageControl1->tabText(kFirstTestTab), names[0]);
    QCOMPARE(form.PageControl1->tabText(kFirstTestTab + 1), names[1]);
    QAbstractItemModel *chapters = form.StringGrid1->model();
    QCOMPARE(chapters->index(1, 1).data().toString(), names[1]);
    for (int page : {kFirstTestTab, kFirstTestTab + 1}) {
      form.PageControl1->setCurrentIndex(page);
      TStringGridSCJ *grid = form.testGrid(page);
      QVERIFY(grid);
      QTRY_VERIFY(grid->isVisible());
      const QString type = grid->model()->index(0, 2).data().toString();
      const int needed = grid->fontMetrics().horizontalAdvance(type) +
                         2 * grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 2;
      QVERIFY2(grid->columnWidth(2) >= needed, qPrintable(type));
      const int used = grid->columnWidth(0) + grid->columnWidth(1) + grid->columnWidth(2);
      QTRY_COMPARE(used, grid->viewport()->width());
    }
  }

  // 今日复习: the due questions (a case's sub-questions too) by due date,
  // nothing to delete there; 显示全部试题 makes a paper of their heads, of
  // its own kind; the 错题库 button counts them until they are answered.
  void dueReviewPage() {
    FeatureHarness h(
        {kBank + QStringLiteral("INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案) VALUES"
                                "(20,20,200,'案例分析题',9,'案例二十','A'),(21,20,200,'单项选择题',9,'二十之一','A'),"
                                "(22,20,200,'单项选择题',9,'二十之二','A');\n"
                                "INSERT INTO 测试结果(编号,测试名称,试题数,答对,测试时间,测试类型) VALUES"
                                "(11,'模拟考场',2,0,'2026-01-05 08:00:00',2);\n"
                                "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(11,21,0),(11,22,0);\n")},
        FeatureHarness::RealDialogs);
    h.registerCommands(registerReviewCommands);
    TDataModule1 &dm = h.dm;
    const RecordingPresenter &presenter = h.presenter;
    QAction *redo = h.command(QStringLiteral("ActErrorRedo"));
    QCOMPARE(TActionList::badge(redo), QStringLiteral("5"));
    QCOMPARE(redo->statusTip(), QStringLiteral("今日复习：5 题到期"));

    QStringList rows;
    bool deletable = true;
    ModalDriver driver;
    driver.onModal<TFrmErrorRedo>([&](TFrmErrorRedo &form) {
      QAbstractItemModel *m = form.StringGrid5->model();
      for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
          cells << m->index(r, c).data().toString();
        rows << cells.join(QLatin1Char('|'));
      }
      deletable = form.BtnDel->isEnabled() || form.BtnDelAll->isEnabled();
      QMetaObject::invokeMethod(form.BtnShowAll, &QPushButton::click, Qt::QueuedConnection);
    });
    redo->trigger();
    QVERIFY2(driver.done(), qPrintable(driver.failure()));

    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0], QStringLiteral("1|第一节 概述|题七|2026-01-05|2")); // wrong again on 01-04
    QVERIFY(rows[1].startsWith(QStringLiteral("2|第一节 概述|二十之一|2026-01-06|")));
    QVERIFY(rows[2].startsWith(QStringLiteral("3|第一节 概述|二十之二|2026-01-06|")));
    QVERIFY(rows[3].contains(QStringLiteral("|<b>题五</b>|")) && rows[4].contains(QStringLiteral("|题六|")));
    QVERIFY(!deletable);
    QCOMPARE(presenter.shown.size(), 1);
    const PaperRequest &r = presenter.shown[0];
    QCOMPARE(r.kind, PaperKinds::DueReview);
    QVERIFY(r.title.startsWith(QStringLiteral("今日复习(")));
    QVERIFY(!r.redoTestId);
    std::vector<int> paper;
    for (const TXiaoTi &x : r.paper)
      paper.push_back(x.XiaoTiHao);
    QCOMPARE(paper, (std::vector<int>{7, 20, 5, 6}));

    // The paper answered right and stored: nothing is due today any more.
    TestOutcome done;
    done.kind = r.kind;
    done.title = r.title;
    done.questions = {{7, true}, {21, true}, {22, true}, {5, true}, {6, true}};
    QCOMPARE(TestRecordStore(dm).store(done, QDateTime::currentDateTime()), TestRecordStore::Result::Saved);
    emit h.events.historyChanged();
    QCOMPARE(TActionList::badge(redo), QString());
    QCOMPARE(redo->statusTip(), QStringLiteral("今日复习：今天没有到期的题"));
  }
};

QBRX_TEST_MAIN(TstErrorRedo)
#include "tst_errorredo.moc"
