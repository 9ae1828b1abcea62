// test-links: widgets
// The question filter: what it keeps of a paper (range, types, order), and
// its command and dialog through the program's own dialogs and a real
// modal exec().
// ctest-timeout: 240

#include "BankFixture.h"
#include "FeatureHarness.h"
#include "ModalDriver.h"
#include "PaperHelpers.h"
#include "FakeDialogs.h"
#include "TestEnv.h"
#include "collections/QuestionFilter.h"
#include "collections/ui/CollectionsCommands.h"
#include "collections/ui/STGL.h"
#include "app/ui/WidgetDialogs.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperState.h"
#include "store/DM.h"

#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

// Types in table order, the last one with a quote in its name. Case 10
// (10 head, 11, 12) has its wrong answer on 11; case 20 its mark on 21;
// question 4 was answered wrongly twice, question 1 right.
const QString kBank = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),(10,'章',1,'1'),(100,'节',10,'2');\n"
    "INSERT INTO 类型说明(ID,题目类型,类型说明,分数) VALUES(1,'单项选择题','',1),(2,'判断题','',1),"
    "(3,'多项选择题','',2),(4,'O''题型','',1);\n"
    "INSERT INTO 大题(大题号,大题内容) VALUES(10,'案例十'),(20,'案例二十');\n"
    "INSERT INTO 小题(小题号,大题号,所属编号,题目类型,题目类型编号,题目内容,答案,是否收藏) VALUES"
    "(1,1,100,'单项选择题',1,'一','A',0),(2,2,100,'判断题',2,'二','A',1),(3,3,100,'O''题型',4,'三','A',0),"
    "(4,4,100,'多项选择题',3,'四','AB',0),"
    "(10,10,100,'单项选择题',1,'十','A',0),(11,10,100,'多项选择题',3,'十一','AB',0),(12,10,100,'单项选择题',1,'十二','A',0),"
    "(20,20,100,'单项选择题',1,'二十','A',0),(21,20,100,'判断题',2,'二十一','A',1);\n"
    "INSERT INTO 测试结果(编号,测试名称,测试类型) VALUES(1,'一',1),(2,'二',1);\n"
    "INSERT INTO 测试题目(测试编号,小题号,回答正确) VALUES(1,1,-1),(1,11,0),(1,4,0),(2,4,0);\n");

const QStringList kAllTypes{QStringLiteral("单项选择题"), QStringLiteral("判断题"), QStringLiteral("多项选择题"),
                            QStringLiteral("O'题型")};


void click(QAbstractButton *b) { QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection); }

void tickOnly(TFrmSTGL &f, const QStringList &types) {
  for (int i = 0; i < f.CheckListBox1->count(); ++i)
    f.CheckListBox1->item(i)->setCheckState(types.contains(f.CheckListBox1->item(i)->text()) ? Qt::Checked
                                                                                             : Qt::Unchecked);
}

// The paper on display as a chapter paper, kind 1 of chapter 100.
void displayChapterPaper(PaperState &state, const std::vector<int> &paper) {
  state = PaperState{};
  state.paper = paperOf(paper);
  state.kind = PaperKinds::Chapter;
  state.title = QStringLiteral("节");
  state.chapterId = 100;
  state.onDisplay = true;
}

} // namespace

class TstQuestionFilter : public QObject {
  Q_OBJECT

private slots:
  void filter_data() {
    QTest::addColumn<std::vector<int>>("paper");
    QTest::addColumn<int>("range");
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<int>("status");
    QTest::addColumn<std::vector<int>>("kept");
    const int narrowed = int(FilterResult::Status::Narrowed), noneLeft = int(FilterResult::Status::NoneLeft);
    const QStringList allButLast = kAllTypes.mid(0, 3);
    QTest::newRow("all: the paper as it was, in its order") << std::vector<int>{4, 1, 10, 2, 3} << 0 << kAllTypes
                                                            << narrowed << std::vector<int>{4, 1, 10, 2, 3};
    QTest::newRow("each number once") << std::vector<int>{2, 1, 2} << 0 << kAllTypes << narrowed
                                      << std::vector<int>{2, 1};
    QTest::newRow("last type unticked") << std::vector<int>{4, 1, 10, 2, 3} << 0 << allButLast << narrowed
                                        << std::vector<int>{4, 1, 10, 2};
    QTest::newRow("a quoted type alone") << std::vector<int>{1, 2, 3, 4} << 0 << QStringList{kAllTypes[3]}
                                         << narrowed << std::vector<int>{3};
    QTest::newRow("no type") << std::vector<int>{1} << 0 << QStringList{} << int(FilterResult::Status::NoType)
                             << std::vector<int>{};
    QTest::newRow("empty paper") << std::vector<int>{} << 0 << kAllTypes << int(FilterResult::Status::NoQuestions)
                                 << std::vector<int>{};
    QTest::newRow("wrong: a case by its head, twice wrong once") << std::vector<int>{1, 2, 4, 10, 20} << 2
                                                                  << kAllTypes << narrowed << std::vector<int>{4, 10};
    QTest::newRow("wrong: a chapter's case rows") << std::vector<int>{10, 11, 12, 1} << 2 << kAllTypes << narrowed
                                                  << std::vector<int>{10, 11, 12};
    QTest::newRow("wrong: never answered wrongly") << std::vector<int>{1, 2, 3} << 2 << kAllTypes << noneLeft
                                                   << std::vector<int>{};
    QTest::newRow("wrong, then the type") << std::vector<int>{4, 10} << 2 << QStringList{kAllTypes[1]} << noneLeft
                                          << std::vector<int>{};
    QTest::newRow("favourites: a case marked on a sub-question") << std::vector<int>{1, 20, 10, 2} << 1 << kAllTypes
                                                                 << narrowed << std::vector<int>{20, 2};
  }

  void filter() {
    QFETCH(std::vector<int>, paper);
    QFETCH(int, range);
    QFETCH(QStringList, types);
    QFETCH(int, status);
    QFETCH(std::vector<int>, kept);
    OpenedBank bank({kBank});
    QuestionFilter filter(bank.dm);
    QCOMPARE(filter.types(), kAllTypes);
    const FilterResult r = filter.apply(paperOf(paper), FilterRange(range), types);
    QCOMPARE(int(r.status), status);
    QCOMPARE(numbers(r.paper), kept);
  }

  // No paper yet: the no-paper message alone; No to the question: no
  // dialog. Neither changes the paper state.
  void refusedBeforeTheDialog() {
    FeatureHarness h({kBank});
    h.registerCommands(registerCollectionsCommands);
    FakeDialogs &fake = *h.fake();
    const RecordingPresenter &presenter = h.presenter;
    QAction *filter = h.command(QStringLiteral("ActSTGL"));
    QCOMPARE(filter->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
    QCOMPARE(TActionList::category(filter), CommandCategory::HelpMenu);

    h.paper = PaperState{};
    filter->trigger();
    QCOMPARE(fake.texts(), QStringList{QStringLiteral("请先选择试卷！")});
    QCOMPARE(fake.shown[0].caption, QStringLiteral("未选择试卷"));

    displayChapterPaper(h.paper, {1, 2});
    fake.shown.clear();
    filter->trigger();
    QCOMPARE(fake.texts(), QStringList{QStringLiteral("试题过滤会清除当前所选择的答案，是否继续？(Y/N)")});
    QCOMPARE(fake.shown[0].icon, Dialogs::Icon::Question);
    QVERIFY(fake.modalForms.isEmpty());
    QVERIFY(presenter.shown.isEmpty());
  }

  // The real dialog: nothing ticked, then a range with nothing in it, each
  // refused with its message while the dialog stays open; 取消 leaves the
  // paper on display whole (the filter narrows a copy). Then the last type unticked and 确定: the
  // narrowed paper in its order, titled 试题过滤, of the kind, chapter and
  // redo target it had.
  void dialog() {
    FeatureHarness h({kBank}, FeatureHarness::RealDialogs);
    h.registerCommands(registerCollectionsCommands);
    const RecordingPresenter &presenter = h.presenter;
    displayChapterPaper(h.paper, {4, 1, 10, 11, 2, 3});
    h.paper.redoTestId = 7;

    QStringList shownTypes, ranges;
    ModalDriver d;
    int boxesSeen = 0;
    // Each refusal is a box the form stays open behind.
    const auto answered = [&] { return d.recorded().size() > boxesSeen; };
    d.onModal<TFrmSTGL>([&](TFrmSTGL &f) {
      for (int i = 0; i < f.CheckListBox1->count(); ++i)
        shownTypes << f.CheckListBox1->item(i)->text() +
                          (f.CheckListBox1->item(i)->checkState() == Qt::Checked ? QStringLiteral("+") : QString());
      for (QRadioButton *r : f.ranges)
        ranges << r->text() + (r->isChecked() ? QStringLiteral("+") : QString());
      tickOnly(f, {});
      boxesSeen = d.recorded().size();
      click(f.BitBtn1);
    });
    d.until<TFrmSTGL>([&](TFrmSTGL &f) {
      if (!answered())
        return false;
      // Favourites: only 2 is marked, and it is a 判断题.
      tickOnly(f, {kAllTypes[0], kAllTypes[2], kAllTypes[3]});
      f.ranges[1]->setChecked(true);
      boxesSeen = d.recorded().size();
      click(f.BitBtn1);
      return true;
    });
    d.until<TFrmSTGL>([&](TFrmSTGL &f) {
      if (!answered())
        return false;
      click(f.BitBtn2);
      return true;
    });
    d.onModal<TFrmSTGL>([&](TFrmSTGL &f) { // the second time
      tickOnly(f, kAllTypes.mid(0, 3));
      click(f.BitBtn1);
    });
    h.command(QStringLiteral("ActSTGL"))->trigger();
    QCOMPARE(shownTypes, (QStringList{QStringLiteral("单项选择题+"), QStringLiteral("判断题+"),
                                      QStringLiteral("多项选择题+"), QStringLiteral("O'题型+")}));
    QCOMPARE(ranges, (QStringList{QStringLiteral("全部试题+"), QStringLiteral("收藏夹"), QStringLiteral("错题重做")}));
    QCOMPARE(d.stepsDone(), 3);
    QCOMPARE(d.boxCaptionsAndTexts(), (QStringList{QStringLiteral("询问:试题过滤会清除当前所选择的答案，是否继续？(Y/N)"),
                                   QStringLiteral("选择题型: 必须至少选择一种题型!"),
                                   QStringLiteral("无试题:没有符合试题范围的试题!")}));
    QVERIFY(presenter.shown.isEmpty());
    // Refused and cancelled: the paper on display keeps every question.
    QCOMPARE(numbers(h.paper.paper), (std::vector<int>{4, 1, 10, 11, 2, 3}));

    h.command(QStringLiteral("ActSTGL"))->trigger();
    QVERIFY2(d.done(), qPrintable(d.failure()));
    QCOMPARE(presenter.shown.size(), 1);
    const PaperRequest &r = presenter.shown[0];
    QCOMPARE(numbers(r.paper), (std::vector<int>{4, 1, 10, 11, 2}));
    QCOMPARE(r.title, QStringLiteral("试题过滤"));
    QCOMPARE(r.kind, PaperKinds::Chapter);
    QCOMPARE(r.chapterId.value_or(0), 100);
    QCOMPARE(r.redoTestId.value_or(0), 7u);
    QCOMPARE(r.mode, 0);
    // The paper state is the presenter's to change, after OK only.
    QCOMPARE(numbers(h.paper.paper), (std::vector<int>{4, 1, 10, 11, 2, 3}));
  }
};

QBRX_TEST_MAIN(TstQuestionFilter)
#include "tst_questionfilter.moc"
