// test-links: widgets
// "错题重做" as the learner meets it: the production dialogs and a real modal
// exec(), the pages and rows read from the live window.
// ctest-timeout: 180

#include "BankFixture.h"
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
#include <QMessageBox>
#include <QPushButton>
#include <QDeadlineTimer>
#include <QTimer>
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

} // namespace

class TstErrorRedo : public QObject {
  Q_OBJECT

  // The paper on display of the code under test.
  PaperState m_paperState;
  PaperState &paperState() { return m_paperState; }

private slots:
  void redoThroughTheRealDialogs() {
    TestEnv::ProgramDirFixture dir({kBank});
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    WidgetDialogs real;
    setDialogs(&real);
    RecordingPresenter presenter;
    AppEvents events;
    QWidget parent;
    AppContext context{dm, ProgramDir(dir.root()), {}, presenter, paperState(), events, &parent};
    TActionList commands;
    registerReviewCommands(commands, context);

    QStringList tabs, boxes, rowsBefore, rowsAfter;
    QDeadlineTimer deadline(30000);
    int opened = -1;
    bool showAllOnChapters = true;
    int step = 0;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, this, [&] {
      QWidget *modal = QApplication::activeModalWidget();
      if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        boxes << box->text();
        QAbstractButton *yes = box->button(QMessageBox::Yes);
        QMetaObject::invokeMethod(yes ? yes : box->button(QMessageBox::Ok), &QAbstractButton::click,
                                  Qt::QueuedConnection);
        return;
      }
      auto *form = qobject_cast<TFrmErrorRedo *>(modal);
      if (!form)
        return;
      const auto rows = [&](TStringGridSCJ *g) {
        QStringList out;
        for (int r = 0; r < g->dataRowCount(); ++r)
          out << g->model()->index(r, 0).data().toString() + QLatin1Char(' ') + g->content(r);
        return out;
      };
      if (step == 0) {
        for (int i = 0; i < form->PageControl1->count(); ++i)
          tabs << form->PageControl1->tabText(i);
        opened = form->PageControl1->currentIndex();
        form->PageControl1->setCurrentIndex(TabOf(RedoPage::Chapters));
        showAllOnChapters = form->BtnShowAll->isEnabled();
        form->PageControl1->setCurrentIndex(kFirstTestTab);
        rowsBefore = rows(form->testGrid(kFirstTestTab));
        form->testGrid(kFirstTestTab)->selectRow(0);
        QMetaObject::invokeMethod(form->BtnDel, &QPushButton::click, Qt::QueuedConnection);
        step = 1;
      } else if (step == 1 &&
                 (form->testGrid(kFirstTestTab)->dataRowCount() < rowsBefore.size() || deadline.hasExpired())) {
        // (a tick can come while the answered box is still closing)
        rowsAfter = rows(form->testGrid(kFirstTestTab));
        QMetaObject::invokeMethod(form->BtnShowAll, &QPushButton::click, Qt::QueuedConnection);
        step = 2;
      }
    });
    poll.start();
    commands.action(QStringLiteral("ActErrorRedo"))->trigger();
    poll.stop();
    setDialogs(nullptr);

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
    TestEnv::ProgramDirFixture dir({kBank});
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    WidgetDialogs real;
    setDialogs(&real);
    QStringList boxes;
    QDeadlineTimer deadline(30000);
    bool enabledAfter = true;
    int step = 0;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, this, [&] {
      QWidget *modal = QApplication::activeModalWidget();
      if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        boxes << box->text();
        QMetaObject::invokeMethod(box->button(QMessageBox::Yes), &QAbstractButton::click, Qt::QueuedConnection);
      } else if (auto *form = qobject_cast<TFrmErrorRedo *>(modal)) {
        if (step == 0) {
          form->PageControl1->setCurrentIndex(TabOf(RedoPage::MockExams));
          QMetaObject::invokeMethod(form->BtnDelAll, &QPushButton::click, Qt::QueuedConnection);
          step = 1;
        } else if (step == 1 && (!form->BtnDel->isEnabled() || deadline.hasExpired())) { // the page is empty
          enabledAfter = form->BtnDel->isEnabled();
          QMetaObject::invokeMethod(form->BtnClose, &QPushButton::click, Qt::QueuedConnection);
          step = 2;
        }
      }
    });
    poll.start();
    const int result = execOwned(new TFrmErrorRedo(dm));
    setDialogs(nullptr);
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(boxes, (QStringList{QStringLiteral("确定将 模拟考试 下的测试记录全部删除吗？(Y/N)"),
                                 QStringLiteral("确定删除 模拟考场吗？(Y/N)")}));
    QVERIFY(!enabledAfter);
    TADOQuery q(dm.ADOConnection1, QStringLiteral("left"));
    q.SQL.Add(QStringLiteral("SELECT count(*) FROM 测试结果 WHERE 编号=10"));
    q.Open();
    QCOMPARE(q.Fields(0).AsInteger(), 0);
  }

  // 今日复习: the due questions (a case's sub-questions too) by due date,
  // nothing to delete there; 显示全部试题 makes a paper of their heads, of
  // its own kind; the 错题库 button counts them until they are answered.
  void dueReviewPage() {
    TestEnv::ProgramDirFixture dir(
        {kBank + QStringLiteral("INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案) VALUES"
                                "(20,20,200,'案例分析题',9,'案例二十','A'),(21,20,200,'单项选择题',9,'二十之一','A'),"
                                "(22,20,200,'单项选择题',9,'二十之二','A');\n"
                                "INSERT INTO 测试结果(编号,测试名称,试题数,答对,测试时间,测试类型) VALUES"
                                "(11,'模拟考场',2,0,'2026-01-05 08:00:00',2);\n"
                                "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(11,21,0),(11,22,0);\n")});
    TDataModule1 dm;
    QCOMPARE(OpenBankAtStartup(dm, dir.root()), StartupResult::Opened);
    WidgetDialogs real;
    setDialogs(&real);
    RecordingPresenter presenter;
    AppEvents events;
    QWidget parent;
    AppContext context{dm, ProgramDir(dir.root()), {}, presenter, paperState(), events, &parent};
    TActionList commands;
    registerReviewCommands(commands, context);
    QAction *redo = commands.action(QStringLiteral("ActErrorRedo"));
    QCOMPARE(TActionList::badge(redo), QStringLiteral("5"));
    QCOMPARE(redo->statusTip(), QStringLiteral("今日复习：5 题到期"));

    QStringList rows;
    bool deletable = true;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, this, [&] {
      auto *form = qobject_cast<TFrmErrorRedo *>(QApplication::activeModalWidget());
      if (!form || !rows.isEmpty())
        return;
      QAbstractItemModel *m = form->StringGrid5->model();
      for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
          cells << m->index(r, c).data().toString();
        rows << cells.join(QLatin1Char('|'));
      }
      deletable = form->BtnDel->isEnabled() || form->BtnDelAll->isEnabled();
      QMetaObject::invokeMethod(form->BtnShowAll, &QPushButton::click, Qt::QueuedConnection);
    });
    poll.start();
    redo->trigger();
    poll.stop();
    setDialogs(nullptr);

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
    emit events.historyChanged();
    QCOMPARE(TActionList::badge(redo), QString());
    QCOMPARE(redo->statusTip(), QStringLiteral("今日复习：今天没有到期的题"));
  }
};

QBRX_TEST_MAIN(TstErrorRedo)
#include "tst_errorredo.moc"
