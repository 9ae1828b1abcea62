// test-links: widgets
// The statistics window: the accuracy series read from the test history
// and the charts the learner sees, opened through the program's own dialogs.
// ctest-timeout: 180

#include "FakeDialogs.h"
#include "BankFixture.h"
#include "FeatureHarness.h"
#include "ModalDriver.h"
#include "TestEnv.h"
#include "app/ui/PageControl.h"
#include "app/ui/WidgetDialogs.h"
#include "app/ActionList.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"
#include "app/PaperPresenter.h"
#include "review/Statistics.h"
#include "review/ui/ReviewCommands.h"
#include "review/ui/TongJiFenXi.h"
#include "store/DM.h"
#include "store/Startup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>
#include "app/PaperState.h"

#include <QtTest>
#include <memory>

namespace {

// Records in table order: chapter 100 twice, a vanished chapter 555, one
// mock exam and one favourites test (overall only), a kind-1 test without a
// chapter, and chapter 101 once with no questions.
const QString kHistory = QStringLiteral(
    "INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),(10,'第一章',1,'1'),"
    "(100,'第一节',10,'2'),(101,'第二节',10,'2');\n"
    "INSERT INTO 测试结果(编号,测试名称,试题数,答对,测试类型,所属章节) VALUES"
    "(1,'a',20,15,1,100),(2,'b',10,10,2,0),(3,'c',4,1,1,555),(4,'d',3,1,1,100),"
    "(5,'e',8,2,4,0),(6,'f',5,5,1,NULL),(7,'g',0,0,1,101);\n");

std::vector<float> seriesOf(QChartView *view) {
  std::vector<float> out;
  auto *s = qobject_cast<QLineSeries *>(view->chart()->series().value(0));
  if (s)
    for (const QPointF &p : s->points())
      out.push_back(float(p.y()));
  return out;
}

QValueAxis *axis(QChartView *view, Qt::Alignment where) {
  return qobject_cast<QValueAxis *>(view->chart()->axes(where == Qt::AlignBottom ? Qt::Horizontal : Qt::Vertical).value(0));
}

} // namespace

class TstStatistics : public QObject {
  Q_OBJECT

private slots:
  void accuracy_data() {
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("count");
    QTest::addColumn<float>("percent");
    QTest::newRow("15 of 20") << 15 << 20 << 75.0f;
    QTest::newRow("1 of 3, single precision") << 1 << 3 << float(1) / float(3) * 100.0f;
    QTest::newRow("no questions") << 0 << 0 << 0.0f;
    QTest::newRow("all") << 7 << 7 << 100.0f;
  }
  void accuracy() {
    QFETCH(int, right);
    QFETCH(int, count);
    QFETCH(float, percent);
    QCOMPARE(TestAccuracy(right, count), percent);
  }

  // Every record charts overall; chapters come from kind-1 tests only, in
  // chapter order, a test without a chapter in none, a vanished chapter
  // with an empty caption and no points.
  void seriesFromTheHistory() {
    OpenedBank bank({kHistory});
    QCOMPARE(OverallAccuracy(bank.dm), (std::vector<float>{75.0f, 100.0f, 25.0f, TestAccuracy(1, 3), 25.0f, 100.0f, 0.0f}));
    const std::vector<ChapterSeries> chapters = ChapterAccuracy(bank.dm);
    QCOMPARE(chapters.size(), std::size_t(3));
    QCOMPARE(chapters[0].chapterId, 100);
    QCOMPARE(chapters[0].caption, QStringLiteral("第一节"));
    QCOMPARE(chapters[0].points, (std::vector<float>{75.0f, TestAccuracy(1, 3)}));
    QCOMPARE(chapters[1].chapterId, 101);
    QCOMPARE(chapters[1].points, std::vector<float>{0.0f});
    QCOMPARE(chapters[2].chapterId, 555);
    QCOMPARE(chapters[2].caption, QString());
    QVERIFY(chapters[2].points.empty());
  }

  void axisRangeAndLabels_data() {
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("label");
    QTest::addColumn<int>("minStep");
    QTest::addColumn<int>("step");
    QTest::newRow("25 labels fit") << 24 << 700 << 20 << 1 << 1;
    QTest::newRow("10,000 points") << 9999 << 700 << 40 << 1 << 1000;
    QTest::newRow("tight") << 24 << 200 << 20 << 1 << 5;
    QTest::newRow("value axis by 10") << 100 << 400 << 16 << 10 << 10;
    QTest::newRow("value axis step 1, short") << 100 << 300 << 16 << 1 << 10;
    QTest::newRow("no room at all") << 100 << 0 << 16 << 1 << 100;
  }
  void axisRangeAndLabels() {
    QFETCH(int, max);
    QFETCH(int, pixels);
    QFETCH(int, label);
    QFETCH(int, minStep);
    QFETCH(int, step);
    QCOMPARE(LabelStep(max, pixels, label, minStep), step);
    QVERIFY(step >= minStep);
    QCOMPARE(BottomAxisMax(0), 24);
    QCOMPARE(BottomAxisMax(1), 24);
    QCOMPARE(BottomAxisMax(2), 1);
    QCOMPARE(BottomAxisMax(10000), 9999);
  }

  // The command as the learner meets it: the production dialogs and a real
  // modal exec(); the charts are read from the live window.
  void windowThroughTheRealDialogs() {
    FeatureHarness h({kHistory}, FeatureHarness::RealDialogs);
    h.registerCommands(registerReviewCommands);
    QAction *command = h.command(QStringLiteral("ActTongJiFenXi"));
    QVERIFY(command && command->isEnabled());

    QStringList tabs;
    std::vector<float> overall, chapter;
    QString title, axisTitle;
    double bottomMax = -1, chapterBottomMax = -1;
    ModalDriver driver;
    driver.onModal<TFrmTongJiFenXi>([&](TFrmTongJiFenXi &form) {
      for (int i = 0; i < form.PageControl1->count(); ++i)
        tabs << form.PageControl1->tabText(i);
      overall = seriesOf(form.Chart1);
      title = form.Chart1->chart()->title();
      axisTitle = axis(form.Chart1, Qt::AlignLeft)->titleText();
      bottomMax = axis(form.Chart1, Qt::AlignBottom)->max();
      form.PageControl1->setCurrentIndex(1);
      QChartView *first = form.chartOfPage(1);
      chapter = seriesOf(first);
      chapterBottomMax = axis(first, Qt::AlignBottom)->max();
      QMetaObject::invokeMethod(form.BitBtn1, &QAbstractButton::click, Qt::QueuedConnection);
    });
    command->trigger();
    QVERIFY2(driver.done(), qPrintable(driver.failure()));

    QCOMPARE(tabs, (QStringList{QStringLiteral("全部试题"), QStringLiteral("第一节"), QStringLiteral("第二节"), QString()}));
    QCOMPARE(overall.size(), std::size_t(7));
    QCOMPARE(title, QStringLiteral("学习概况"));
    QCOMPARE(axisTitle, QStringLiteral("正确率%"));
    QCOMPARE(bottomMax, 6.0);
    QCOMPARE(chapter, (std::vector<float>{75.0f, TestAccuracy(1, 3)}));
    QCOMPARE(chapterBottomMax, 1.0);
  }

  // No record: an empty chart from 0 to 24 and no chapter page.
  void noHistory() {
    OpenedBank bank({QString()});
    TFrmTongJiFenXi form(bank.dm);
    QCOMPARE(form.PageControl1->count(), 1);
    QVERIFY(seriesOf(form.Chart1).empty());
    QCOMPARE(axis(form.Chart1, Qt::AlignBottom)->min(), 0.0);
    QCOMPARE(axis(form.Chart1, Qt::AlignBottom)->max(), 24.0);
    QCOMPARE(axis(form.Chart1, Qt::AlignLeft)->max(), 100.0);
  }
};

QBRX_TEST_MAIN(TstStatistics)
#include "tst_statistics.moc"
