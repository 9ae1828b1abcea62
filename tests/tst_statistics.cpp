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
#include <QCategoryAxis>
#include <QGraphicsSimpleTextItem>
#include <QRegularExpression>
#include <QToolTip>
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

// `n` tests of one chapter (100), one a day from 2026-01-01 (the year
// changes when `years`), with accuracies that need rounding.
QString chapterHistory(int n, bool years = false) {
  QString sql = QStringLiteral("INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目',0,'0'),"
                               "(10,'第一章',1,'1'),(100,'第一节 概述',10,'2');\n");
  for (int i = 0; i < n; ++i) {
    const QDate day = QDate(2026, 1, 1).addDays(years ? i * 200 : i);
    sql += QStringLiteral("INSERT INTO 测试结果(测试名称,试题数,答对,测试时间,测试类型,所属章节) "
                          "VALUES('测试%1',7,%2,'%3 08:00:00',1,100);\n")
               .arg(i + 1)
               .arg(i % 8)
               .arg(day.toString(QStringLiteral("yyyy-MM-dd")));
  }
  return sql;
}

// What a reader sees of a chart's value labels: each at most one decimal,
// the value of its point, inside the plot, and no two overlapping.
void checkPointLabels(AccuracyChartView *view, const std::vector<TestPoint> &points) {
  const QRectF plot = view->chart()->mapRectToScene(view->chart()->plotArea());
  const QList<QGraphicsSimpleTextItem *> labels = view->pointLabels();
  static const QRegularExpression oneDecimal(QStringLiteral("^\\d{1,3}(\\.\\d)?$"));
  QList<QRectF> boxes;
  for (QGraphicsSimpleTextItem *l : labels) {
    QVERIFY2(oneDecimal.match(l->text()).hasMatch(), qPrintable(l->text()));
    const int i = l->data(0).toInt();
    QVERIFY(i >= 0 && i < int(points.size()));
    QCOMPARE(l->text(), PointLabel(points[std::size_t(i)].accuracy));
    const QRectF box = l->sceneBoundingRect();
    QVERIFY2(plot.contains(box), qPrintable(l->text()));
    for (const QRectF &other : boxes)
      QVERIFY2(!box.intersects(other), qPrintable(l->text()));
    boxes << box;
  }
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

  void labelTexts_data() {
    QTest::addColumn<double>("percent");
    QTest::addColumn<QString>("label");
    QTest::newRow("4 of 7") << double(TestAccuracy(4, 7)) << QStringLiteral("57.1");
    QTest::newRow("whole") << 75.0 << QStringLiteral("75");
    QTest::newRow("rounds to whole") << 99.96 << QStringLiteral("100");
    QTest::newRow("1 of 3") << double(TestAccuracy(1, 3)) << QStringLiteral("33.3");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0");
  }
  void labelTexts() {
    QFETCH(double, percent);
    QFETCH(QString, label);
    QCOMPARE(PointLabel(percent), label);
  }

  void dateLabels_data() {
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("withYear");
    QTest::newRow("padded") << QStringLiteral("2026-01-02 03:04:05") << QStringLiteral("01-02")
                            << QStringLiteral("2026-01-02");
    QTest::newRow("unpadded") << QStringLiteral("2010-2-16 15:40:29") << QStringLiteral("02-16")
                              << QStringLiteral("2010-02-16");
    QTest::newRow("not a date") << QStringLiteral("yesterday afternoon") << QStringLiteral("yesterday ")
                                << QStringLiteral("yesterday ");
    QTest::newRow("empty") << QString() << QString() << QString();
  }
  void dateLabels() {
    QFETCH(QString, time);
    QFETCH(QString, day);
    QFETCH(QString, withYear);
    QCOMPARE(DateLabel(time, false), day);
    QCOMPARE(DateLabel(time, true), withYear);
  }

  // The labels of the live chart, from its own geometry: at most one
  // decimal, never overlapping, none cut off by the plot's edge, on a big
  // window and a small one, for a few points and for many.
  void pointLabelsReadable_data() {
    QTest::addColumn<int>("tests");
    QTest::addColumn<QSize>("size");
    QTest::newRow("7 tests") << 7 << QSize(820, 560);
    QTest::newRow("1 test") << 1 << QSize(820, 560);
    QTest::newRow("60 tests") << 60 << QSize(820, 560);
    QTest::newRow("400 tests, small") << 400 << QSize(420, 300);
  }
  void pointLabelsReadable() {
    QFETCH(int, tests);
    QFETCH(QSize, size);
    OpenedBank bank({chapterHistory(tests)});
    TFrmTongJiFenXi form(bank.dm);
    form.resize(size);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (int page : {0, 1}) {
      form.PageControl1->setCurrentIndex(page);
      AccuracyChartView *view = form.chartOfPage(page);
      QVERIFY(view);
      QTRY_VERIFY(view->chart()->plotArea().width() > 0 && !view->pointLabels().isEmpty());
      checkPointLabels(view, ReadHistory(bank.dm).tests);
      // The first test is always labelled; with room, every one.
      QCOMPARE(view->pointLabels().first()->data(0).toInt(), 0);
      if (tests <= 7)
        QCOMPARE(view->pointLabels().size(), tests);
      // A lone point is seen as a mark; a crowd is a line.
      if (tests <= 7)
        QVERIFY(view->series()->pointsVisible());
      if (tests >= 400)
        QVERIFY(!view->series()->pointsVisible());
    }
  }

  // A long line is drawn as the points that shape it: the first, lowest,
  // highest and last of each pixel column's run, so that it looks the same.
  void lineShape_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("columns");
    QTest::newRow("fewer than two a column") << 20 << 10;
    QTest::newRow("many") << 1000 << 7;
    QTest::newRow("uneven runs") << 101 << 13;
  }
  void lineShape() {
    QFETCH(int, count);
    QFETCH(int, columns);
    std::vector<float> values;
    for (int i = 0; i < count; ++i)
      values.push_back(float((i * 37) % 101));
    const std::vector<int> shape = ShapeOfLine(values, columns);
    if (count <= 2 * columns) {
      QCOMPARE(int(shape.size()), count);
      return;
    }
    QVERIFY(int(shape.size()) <= 4 * columns);
    QCOMPARE(shape.front(), 0);
    QCOMPARE(shape.back(), count - 1);
    QVERIFY(std::is_sorted(shape.begin(), shape.end()));
    for (int c = 0; c < columns; ++c) { // each column's extremes are kept
      const int from = c * count / columns, to = (c + 1) * count / columns;
      const auto [lo, hi] = std::minmax_element(values.begin() + from, values.begin() + to);
      bool low = false, high = false;
      for (int i : shape)
        if (i >= from && i < to) {
          low = low || values[std::size_t(i)] == *lo;
          high = high || values[std::size_t(i)] == *hi;
        }
      QVERIFY(low && high);
    }
  }

  // The bottom axis names the tests' dates, each date once, at a test of
  // that date; the year shows when the tests span more than one. A point's
  // tooltip names its test and time.
  void datesOnTheBottomAxis_data() {
    QTest::addColumn<bool>("years");
    QTest::newRow("one year") << false;
    QTest::newRow("several years") << true;
  }
  void datesOnTheBottomAxis() {
    QFETCH(bool, years);
    OpenedBank bank({chapterHistory(5, years)});
    TFrmTongJiFenXi form(bank.dm);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    AccuracyChartView *view = form.Chart1;
    QTRY_VERIFY(view->chart()->plotArea().width() > 0);
    const std::vector<TestPoint> tests = ReadHistory(bank.dm).tests;
    QCategoryAxis *x = view->bottomAxis();
    QTRY_COMPARE(x->categoriesLabels().size(), 5);
    for (const QString &label : x->categoriesLabels()) {
      const int at = int(x->endValue(label));
      QCOMPARE(label, DateLabel(tests[std::size_t(at)].time, years));
      QCOMPARE(label.size(), years ? 10 : 5);
    }
    QCOMPARE(x->min(), 0.0);
    QCOMPARE(x->max(), 4.0);
    QCOMPARE(view->pointTip(2), tests[2].name + QLatin1Char('\n') + tests[2].time + QStringLiteral("\n正确率 28.6%"));
    emit view->series()->hovered(QPointF(2, tests[2].accuracy), true);
    QTRY_VERIFY(QToolTip::text().contains(tests[2].name + QStringLiteral("<br>") + tests[2].time));
    emit view->series()->hovered(QPointF(2, tests[2].accuracy), false);
    // A name with markup is shown as written.
    AccuracyChartView marked(QString(), {TestPoint{50, QStringLiteral("2026-01-01 00:00:00"), QStringLiteral("<img src=x>")}},
                             nullptr);
    emit marked.series()->hovered(QPointF(0, 50), true);
    QTRY_VERIFY(QToolTip::text().contains(QStringLiteral("&lt;img src=x&gt;")));
  }

  // Every page has the overall page's look: 0 to 100 % in steps of at
  // least 10 with its title, a dated bottom axis; a chapter page is titled
  // with its chapter.
  void oneLookForEveryPage() {
    OpenedBank bank({chapterHistory(1)});
    TFrmTongJiFenXi form(bank.dm);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.PageControl1->setCurrentIndex(1);
    for (AccuracyChartView *view : {form.chartOfPage(0), form.chartOfPage(1)}) {
      QTRY_VERIFY(view->chart()->plotArea().height() > 0);
      QCOMPARE(view->leftAxis()->min(), 0.0);
      QCOMPARE(view->leftAxis()->max(), 100.0);
      QVERIFY(view->leftAxis()->tickInterval() >= 10);
      QCOMPARE(view->leftAxis()->titleText(), QStringLiteral("正确率%"));
      QCOMPARE(view->bottomAxis()->categoriesLabels(), QStringList{QStringLiteral("01-01")});
      QCOMPARE(view->bottomAxis()->max(), 24.0);
    }
    QCOMPARE(form.chartOfPage(0)->chart()->title(), QStringLiteral("学习概况"));
    QCOMPARE(form.chartOfPage(1)->chart()->title(), QStringLiteral("第一节 概述"));
  }
};

QBRX_TEST_MAIN(TstStatistics)
#include "tst_statistics.moc"
