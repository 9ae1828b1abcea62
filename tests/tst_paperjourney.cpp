// test-links: widgets
// From a chapter paper to a stored test record, in the real main window,
// headless, on the demo bank: answers ticked in the live page (right, wrong,
// unanswered, in a case question), the paper toolbar's buttons and keys, the
// result report and the test history rows; answering again, showing the
// answers, text size, print preview and full screen; a paper shown in the
// error feedback form is graded but never stored; and the no-paper message.
// ctest-timeout: 300

#include "FakeDialogs.h"
#include "MainWindowFixture.h"
#include "ModalDriver.h"
#include "TestEnv.h"
#include "exam/ui/ShowTestResult.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "mainwin/ui/Main.h"
#include "app/ui/WidgetDialogs.h"
#include "mainwin/ui/PaperToolbarBar.h"
#include "mainwin/ui/TitleStrip.h"
#include "app/ActionList.h"
#include "mainwin/ui/PictureButton.h"
#include "mainwin/ui/Pictures.h"
#include "app/PaperState.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"
#include "store/SystemParameters.h"

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QMessageBox>
#include <QWebEnginePage>
#include <QtTest>
#include <map>
#include <memory>

namespace {

// The section practised: single choice, multiple choice, true/false, a
// fill-in question and a case question with two single-choice, one
// multiple-choice and one short-answer sub-question.
constexpr int kSection = 122;
const QString kSectionName = QStringLiteral("第二节 SQL语言基础");

// What the learner does with each objective sub-question of the section.
enum class Tick { Right, Wrong, None };
const std::map<int, Tick> kTicks = {{34, Tick::Right}, {35, Tick::Wrong}, {36, Tick::Right}, {37, Tick::Wrong},
                                    {38, Tick::None},  {40, Tick::Right}, {41, Tick::Wrong}, {42, Tick::Right}};

QString stemId(int n) { return QStringLiteral("T%1_%1").arg(n); }

// The report's table, one text per row, cells joined by "|".
const QString kReportRows = QStringLiteral(
    "Array.from(document.querySelectorAll('tr')).map(function (r) {"
    " return Array.from(r.cells).map(function (c) { return c.innerText.trim(); }).join('|'); })");

struct Record {
  qint64 id = 0;
  QString name;
  int count = 0, right = 0, kind = 0, chapter = 0;
  double total = 0, score = 0, accuracy = 0;
  QDateTime time;
  std::map<int, int> questions; // 小题号 -> 回答正确
};

} // namespace

class TstPaperJourney : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindowFixture> m_fixture;
  PaperState &paperState() const { return m_fixture->paperState(); }
  FakeDialogs *m_dialogs = nullptr;

  TFrmMain &w() { return *m_fixture->window; }
  WebHtmlView &page() { return *w().WebBrowser1; }

  QVariant eval(const QString &script) {
    if (!page().waitForLoad())
      return QStringLiteral("<load timed out>");
    return page().evaluate(script);
  }

  // Practises a section as a click on its tree node does.
  void openSection(int id) {
    const std::vector<CategoryNode> &nodes = w().categoryTree().nodes();
    int index = -1;
    for (std::size_t i = 0; i < nodes.size(); ++i)
      if (nodes[i].info && nodes[i].info->ID == id)
        index = int(i);
    QVERIFY(index >= 0);
    w().TreeView1->selectNode(index);
    w().command(QStringLiteral("ActSCSTKST"))->trigger();
    QCOMPARE(paperState().chapterId, id);
    QVERIFY(page().waitForLoad());
  }

  std::vector<int> paperNumbers() const {
    std::vector<int> out;
    for (const TShiTi &s : paperState().questions)
      out.push_back(s.XiaoTiHao);
    return out;
  }

  // Ticks the letters of kTicks in the page, by clicks on the inputs; the
  // ids ticked.
  QStringList tickAnswers() {
    QStringList ids;
    for (const TShiTi &s : paperState().questions) {
      const auto it = kTicks.find(s.XiaoTiHao);
      if (it == kTicks.end()) {
        QTest::qFail(qPrintable(QStringLiteral("no tick for %1").arg(s.XiaoTiHao)), __FILE__, __LINE__);
        return {};
      }
      QString letters;
      const QString answer = s.Answer.toUpper();
      if (it->second == Tick::Right)
        letters = answer;
      else if (it->second == Tick::Wrong)
        letters = answer.startsWith(QLatin1Char('A')) ? QStringLiteral("B") : QStringLiteral("A");
      for (QChar c : letters)
        ids << QStringLiteral("%1/%2").arg(s.XiaoTiHao).arg(c.unicode() - 'A');
    }
    page().runScript(QStringLiteral("%1.forEach(function (id) { document.getElementById(id).click(); })")
                         .arg(QStringLiteral("['") + ids.join(QStringLiteral("','")) + QStringLiteral("']")));
    return ids;
  }

  // Ids of the checked option inputs, in page order.
  QStringList checkedIds() {
    return eval(QStringLiteral("Array.from(document.querySelectorAll('input[type=radio],input[type=checkbox]'))"
                               ".filter(function (e) { return e.checked; }).map(function (e) { return e.id; })"))
        .toStringList();
  }

  // The stems coloured red, of all the paper's stems.
  QList<int> redStems() {
    QStringList ids;
    for (const TShiTi &s : paperState().questions)
      ids << stemId(s.XiaoTiHao);
    const QStringList colors =
        eval(QStringLiteral("%1.map(function (id) { return document.getElementById(id).style.color; })")
                 .arg(QStringLiteral("['") + ids.join(QStringLiteral("','")) + QStringLiteral("']")))
            .toStringList();
    QList<int> red;
    for (int i = 0; i < colors.size(); ++i)
      if (colors[i] == QLatin1String("red"))
        red << paperState().questions[std::size_t(i)].XiaoTiHao;
    return red;
  }

  // display of every answer block and the text of every show-answer switch.
  QStringList answerBlocks() {
    return eval(QStringLiteral("Array.from(document.querySelectorAll('span[id^=Answer]'))"
                               ".map(function (e) { return e.style.display; })"))
        .toStringList();
  }
  QStringList answerSwitches() {
    return eval(QStringLiteral("Array.from(document.querySelectorAll('span[id^=ShowButton]'))"
                               ".map(function (e) { return e.innerText; })"))
        .toStringList();
  }
  QString fontSize() { return eval(QStringLiteral("document.body.style.fontSize")).toString(); }

  // A click on a toolbar button.
  void press(int button) {
    PictureButton *b = w().PanelPaperToolBar->button(button);
    QVERIFY(b);
    QVERIFY(b->isVisible());
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
  }

  // Grading with the report closed through its button; the report's rows
  // and totals are kept.
  struct Report {
    bool seen = false;
    QString title;
    QStringList rows;
    TestTotals totals;
  };
  void handleReport(Report &report) {
    m_dialogs->modalHandler = [&report](QDialog &d) {
      auto *form = qobject_cast<TFrmShowTestResult *>(&d);
      if (!form)
        return int(QDialog::Rejected);
      report.seen = true;
      report.title = d.windowTitle();
      report.totals = form->totals();
      if (auto *view = dynamic_cast<WebHtmlView *>(&form->view()); view && view->waitForLoad())
        report.rows = view->evaluate(kReportRows).toStringList();
      form->closeButton()->click();
      return d.result();
    };
  }

  // Grades the paper on display, closes the report and stores nothing; the
  // messages of that are forgotten.
  void gradeAndKeepNothing() {
    Report report;
    handleReport(report);
    m_dialogs->answers = {false};
    press(2);
    QVERIFY(report.seen);
    m_dialogs->shown.clear();
    m_dialogs->answers.clear();
    m_dialogs->modalHandler = nullptr;
  }

  std::vector<Record> records() {
    TADOQuery &q = w().dataModule()->ADOQuery4;
    q.Close();
    q.SQL.Clear();
    q.SQL.Add(QStringLiteral("SELECT 编号,测试名称,试题数,答对,总分,得分,正确率,测试时间,测试类型,所属章节 "
                             "FROM 测试结果 ORDER BY 编号"));
    q.Open();
    std::vector<Record> out;
    for (q.First(); !q.Eof(); q.Next()) {
      Record r;
      r.id = q.Fields(0).AsInteger();
      r.name = q.Fields(1).AsString();
      r.count = q.Fields(2).AsInteger();
      r.right = q.Fields(3).AsInteger();
      r.total = q.Fields(4).AsFloat();
      r.score = q.Fields(5).AsFloat();
      r.accuracy = q.Fields(6).AsFloat();
      r.time = QDateTime::fromString(q.Fields(7).AsString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
      r.kind = q.Fields(8).AsInteger();
      r.chapter = q.Fields(9).AsInteger();
      out.push_back(r);
    }
    q.Close();
    for (Record &r : out) {
      q.SQL.Clear();
      q.SQL.Add(QStringLiteral("SELECT 小题号,回答正确 FROM 测试题目 WHERE 测试编号=%1").arg(r.id));
      q.Open();
      for (q.First(); !q.Eof(); q.Next())
        r.questions[q.Fields(0).AsInteger()] = q.Fields(1).AsInteger();
      q.Close();
    }
    return out;
  }

  // The record the ticks of kTicks must produce.
  void verifyRecord(const Record &r, const QDateTime &from, const QDateTime &to) {
    QCOMPARE(r.name, kSectionName);
    QCOMPARE(r.count, 8);
    QCOMPARE(r.right, 4);
    QCOMPARE(r.total, 12.0);
    QCOMPARE(r.score, 7.0);
    QCOMPARE(r.accuracy, 0.583333333333333); // marks 7 of 12, not the count share
    QCOMPARE(r.kind, 1);
    QCOMPARE(r.chapter, kSection);
    QVERIFY2(r.time.isValid() && r.time >= from.addSecs(-1) && r.time <= to.addSecs(1),
             qPrintable(r.time.toString(Qt::ISODate)));
    const std::map<int, int> expected = {{34, -1}, {35, 0}, {36, -1}, {37, 0},
                                         {38, 0},  {40, -1}, {41, 0}, {42, -1}};
    QVERIFY(r.questions == expected);
  }

  // The report of the ticks of kTicks: types in the order they first
  // appear, the case question's sub-questions under 案例分析题.
  static QStringList expectedReport() {
    return {QStringLiteral("本次测试结果"),
            QStringLiteral("题型|试题数|答对|总分|得分|正确率"),
            QStringLiteral("单项选择题|2|1|2.00|1.00|50.00%"),
            QStringLiteral("多项选择题|1|1|2.00|2.00|100.00%"),
            QStringLiteral("判断题|2|0|2.00|0.00|0.00%"),
            QStringLiteral("案例分析题|3|2|6.00|4.00|66.67%"),
            QStringLiteral("合计|8|4|12.00|7.00|50.00%")};
  }

private slots:
  // Every test starts on its own window and bank, with the section's paper
  // fresh on display: any one of them runs alone.
  void init() {
    m_fixture = std::make_unique<MainWindowFixture>();
    m_dialogs = &m_fixture->dialogs;
    QVERIFY(!w().startupFailed());
    QVERIFY(m_fixture->showActive());
    openSection(kSection);
    m_dialogs->shown.clear();
  }

  void cleanup() {
    m_dialogs = nullptr;
    m_fixture.reset();
  }

  // Left group: answer again, show answers, submit; right group: settings
  // (not available yet), print, larger, smaller, full screen. The keys are
  // in the tooltips.
  void toolbarButtons() {
    struct Expected {
      QWidget *group;
      int x, width;
      QString label, key;
    };
    const QString ctrl = QKeySequence(Qt::CTRL).toString(QKeySequence::NativeText);
    const Expected expected[] = {
        {w().PanelPaperToolBar->PanelPaperToolbar1, 20, 92, "重新答题", "Ctrl+R"}, {w().PanelPaperToolBar->PanelPaperToolbar1, 112, 92, "显示答案", "Ctrl+H"},
        {w().PanelPaperToolBar->PanelPaperToolbar1, 206, 92, "提交试卷", "Ctrl+Return"}, {w().PanelPaperToolBar->PanelPaperToolbar2, 14, 92, "界面设置", ""},
        {w().PanelPaperToolBar->PanelPaperToolbar2, 107, 65, "打印", "Ctrl+P"},    {w().PanelPaperToolBar->PanelPaperToolbar2, 173, 65, "放大", "Ctrl+="},
        {w().PanelPaperToolBar->PanelPaperToolbar2, 239, 65, "缩小", "Ctrl+-"},    {w().PanelPaperToolBar->PanelPaperToolbar2, 305, 65, "全屏", "F11"}};
    for (int i = 0; i < 8; ++i) {
      PictureButton *b = w().PanelPaperToolBar->button(i);
      const Expected &e = expected[i];
      QCOMPARE(b->objectName(), QStringLiteral("ImagePaperTools%1").arg(i));
      QCOMPARE(b->parentWidget(), e.group);
      QCOMPARE(b->geometry(), QRect(e.x, 1, e.width, 28));
      QVERIFY2(b->isVisible(), qPrintable(b->objectName()));
      QCOMPARE(b->accessibleName(), e.label);
      QCOMPARE(b->Tag, PaperToolbar::kDesignTags[std::size_t(i)]);
      const QString key = QKeySequence(e.key).toString(QKeySequence::NativeText);
      QVERIFY2(b->toolTip().contains(key), qPrintable(b->toolTip()));
    }
    QVERIFY(w().PanelPaperToolBar->PanelPaperToolbar2->geometry().right() <= w().PanelPaperToolBar->width());
    QVERIFY(w().PanelPaperToolBar->PanelPaperToolbar2->x() > w().PanelPaperToolBar->PanelPaperToolbar1->geometry().right());
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->property("picture").toString(), QStringLiteral("ImageList5[1]"));
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->pixmap().toImage(), Pictures::paperToolPicture(5, 1).toImage());
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools7->property("picture").toString(), QStringLiteral("ImageList7[3]"));
    QVERIFY(w().PanelPaperToolBar->ImagePaperTools3->isEnabled()); // 界面设置
    QVERIFY(!w().PanelPaperToolBar->ImagePaperTools3->toolTip().contains(QStringLiteral("暂未开放")));

    // Hover, press and leave show the states of the current picture.
    QTest::mouseMove(w().PanelPaperToolBar->ImagePaperTools5, QPoint(4, 4));
    QTRY_COMPARE(w().PanelPaperToolBar->ImagePaperTools5->property("picture").toString(), QStringLiteral("ImageList8[1]"));
    QTest::mousePress(w().PanelPaperToolBar->ImagePaperTools5, Qt::LeftButton, {}, QPoint(4, 4));
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools5->property("picture").toString(), QStringLiteral("ImageList10[1]"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w().PanelPaperToolBar->ImagePaperTools5, &leave);
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools5->property("picture").toString(), QStringLiteral("ImageList7[1]"));
    QTest::mouseRelease(w().PanelPaperToolBar->ImagePaperTools5, Qt::LeftButton, {}, QPoint(4, 4)); // one step larger
    QVERIFY(m_dialogs->shown.isEmpty());
    w().command(QStringLiteral("ActZoomOut"))->trigger();
  }

  // Submit: exactly the wrong stems turn red, the report reads right, and
  // The report as the program shows it: the production dialogs, a real
  // modal exec() of the report and of the storage question. The rows are
  // read from the live page without waiting on the view (that would write a
  // pending document itself), so a report that never shows fails here.
  void reportThroughRealDialogs() {
    tickAnswers();
    WidgetDialogs real;
    setDialogs(&real);
    const std::size_t before = records().size();

    // The rows are read without waiting on the view (a wait would write a
    // pending document itself): one read at a time until the table is there.
    struct Read {
      QStringList rows;
      bool asked = false;
    };
    const auto read = std::make_shared<Read>();
    ModalDriver driver;
    driver.until<TFrmShowTestResult>([read](TFrmShowTestResult &report) {
      if (read->rows.isEmpty()) {
        auto *view = dynamic_cast<WebHtmlView *>(&report.view());
        if (view && !read->asked) {
          read->asked = true;
          view->page()->runJavaScript(kReportRows, [read](const QVariant &v) {
            read->asked = false;
            const QStringList r = v.toStringList();
            if (r.size() > 1)
              read->rows = r;
          });
        }
        return false;
      }
      QMetaObject::invokeMethod(report.closeButton(), &QAbstractButton::click, Qt::QueuedConnection);
      return true;
    });
    press(2);
    setDialogs(m_dialogs);
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    const QStringList rows = read->rows;
    // The storage question was asked (and answered Yes).
    bool answered = false;
    for (const ModalDriver::Box &box : driver.recorded())
      if (box.icon == QMessageBox::Question)
        answered = box.text.contains(QStringLiteral("保存到测试历史"));

    QCOMPARE(rows, expectedReport().mid(1));
    QVERIFY(answered);
    QCOMPARE(records().size(), before + 1);
  }

  // A paper built anew starts at its top, also when it is the same chapter
  // (the same file) scrolled down; reloading the page keeps the place.
  void newPaperStartsAtTop() {
    w().resize(1024, 650);
    openSection(kSection);
    const auto scrollTo = [this](int y) {
      page().runScript(QStringLiteral("window.scrollTo(0, %1)").arg(y));
      return eval(QStringLiteral("window.scrollY")).toInt();
    };
    const int down = scrollTo(400);
    QVERIFY2(down > 0, "the paper is long enough to scroll");

    page().reload();
    QTRY_VERIFY(std::abs(eval(QStringLiteral("window.scrollY")).toInt() - down) <= 2);

    openSection(kSection);
    QCOMPARE(eval(QStringLiteral("document.readyState")).toString(), QStringLiteral("complete"));
    QCOMPARE(eval(QStringLiteral("window.scrollY")).toInt(), 0);
    QVERIFY(!eval(QStringLiteral("document.body.innerText")).toString().isEmpty());
  }

  // Yes stores the record and one row per objective sub-question.
  void submitStoresRecord() {
    QCOMPARE(paperNumbers(), (std::vector<int>{34, 35, 36, 37, 38, 40, 41, 42}));
    const QStringList ticked = tickAnswers();
    QCOMPARE(checkedIds(), ticked);
    QVERIFY(redStems().isEmpty());
    const std::size_t before = records().size();

    Report report;
    handleReport(report);
    m_dialogs->answers = {true};
    const QDateTime from = QDateTime::currentDateTime();
    press(2);
    const QDateTime to = QDateTime::currentDateTime();

    QVERIFY(report.seen);
    QCOMPARE(report.title, QStringLiteral("测试结果"));
    QCOMPARE(report.rows, expectedReport().mid(1));
    QCOMPARE(report.totals.SumNumOfShiTi, 8);
    QCOMPARE(report.totals.SumRight, 4);
    QCOMPARE(report.totals.SumTotal, 12.0f);
    QCOMPARE(report.totals.SumScore, 7.0f);
    QCOMPARE(redStems(), (QList<int>{35, 37, 38, 41}));
    QCOMPARE(m_dialogs->texts(), (QStringList{QStringLiteral("是否将本次测试结果保存到测试历史中？(Y/N)"),
                                              QStringLiteral("已经成功地保存到测试历史中！")}));

    const std::vector<Record> after = records();
    QCOMPARE(after.size(), before + 1);
    verifyRecord(after.back(), from, to);
    // Grading changed nothing else on the page.
    QCOMPARE(checkedIds(), ticked);
    QVERIFY(!answerBlocks().contains(QString()));
  }

  // Grading the same page again (from the keyboard) and answering Yes
  // stores a second record; No stores nothing.
  void gradeAgain() {
    tickAnswers();
    gradeAndKeepNothing();
    const std::vector<Record> before = records();
    Report report;
    handleReport(report);
    m_dialogs->answers = {true};
    const QDateTime from = QDateTime::currentDateTime();
    QTest::keyClick(&w(), Qt::Key_Return, Qt::ControlModifier);
    const QDateTime to = QDateTime::currentDateTime();
    QVERIFY(report.seen);
    QCOMPARE(report.rows, expectedReport().mid(1));
    const std::vector<Record> after = records();
    QCOMPARE(after.size(), before.size() + 1);
    QVERIFY(before.empty() || after.back().id != before.back().id);
    verifyRecord(after.back(), from, to);
    QCOMPARE(redStems(), (QList<int>{35, 37, 38, 41}));

    report = {};
    m_dialogs->answers = {false};
    press(2);
    QVERIFY(report.seen);
    QCOMPARE(records().size(), after.size());
  }

  // 重新答题: No changes nothing; Yes clears the choices and the red stems.
  void answerAgain() {
    tickAnswers();
    gradeAndKeepNothing();
    const QStringList ticked = checkedIds();
    QVERIFY(!ticked.isEmpty());
    m_dialogs->answers = {false};
    press(0);
    QCOMPARE(m_dialogs->shown.size(), 1);
    QCOMPARE(m_dialogs->shown[0].text, QStringLiteral("重新答题会清空当前的回答,继续吗?"));
    QCOMPARE(m_dialogs->shown[0].caption, QStringLiteral("重新答题"));
    QCOMPARE(m_dialogs->shown[0].icon, Dialogs::Icon::Question);
    QCOMPARE(checkedIds(), ticked);
    QCOMPARE(redStems().size(), 4);

    m_dialogs->answers = {true};
    press(0);
    QVERIFY(checkedIds().isEmpty());
    QVERIFY(redStems().isEmpty());
    const QStringList colors =
        eval(QStringLiteral("Array.from(document.querySelectorAll('span[id^=T]'))"
                            ".map(function (e) { return e.style.color; })"))
            .toStringList();
    QVERIFY(!colors.isEmpty());
    QCOMPARE(colors.count(colors.first()), colors.size()); // every stem in the page's text colour

    // The keyboard asks the same question.
    m_dialogs->answers = {false};
    QTest::keyClick(&w(), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(m_dialogs->shown.size(), 3);
    QCOMPARE(m_dialogs->shown[2].text, QStringLiteral("重新答题会清空当前的回答,继续吗?"));
  }

  // 显示答案 twice shows and then hides every answer; the button reads
  // 隐藏答案 while they are shown. Answering again hides them and resets it.
  void showAllAnswers() {
    const int blocks = answerBlocks().size();
    QCOMPARE(blocks, 7); // six stand-alone questions and the case question
    QCOMPARE(answerBlocks().count(QStringLiteral("none")), blocks);

    press(1);
    QCOMPARE(answerBlocks().count(QString()), blocks);
    QCOMPARE(answerSwitches().count(QStringLiteral("隐藏答案")), blocks);
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->Tag, 4);
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->accessibleName(), QStringLiteral("隐藏答案"));
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->property("picture").toString(), QStringLiteral("ImageList5[4]"));
    QCOMPARE(TActionList::Tag(w().command(QStringLiteral("ActShowAllAnswer"))), 1);
    QCOMPARE(w().command(QStringLiteral("ActShowAllAnswer"))->text(), QStringLiteral("隐藏答案"));
    QVERIFY(w().PanelPaperToolBar->ImagePaperTools1->toolTip().startsWith(QStringLiteral("隐藏答案")));

    press(1);
    QCOMPARE(answerBlocks().count(QStringLiteral("none")), blocks);
    QCOMPARE(answerSwitches().count(QStringLiteral("显示答案")), blocks);
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->Tag, 1);
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->property("picture").toString(), QStringLiteral("ImageList5[1]"));
    QCOMPARE(TActionList::Tag(w().command(QStringLiteral("ActShowAllAnswer"))), 0);
    QCOMPARE(w().command(QStringLiteral("ActShowAllAnswer"))->text(), QStringLiteral("显示答案"));

    // One answer shown by its own switch: showing all shows the rest.
    page().runScript(QStringLiteral("document.getElementById('ShowButton2').click()"));
    QCOMPARE(answerBlocks().count(QString()), 1);
    QTest::keyClick(&w(), Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(answerBlocks().count(QString()), blocks);
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->Tag, 4);

    m_dialogs->answers = {true};
    press(0);
    QCOMPARE(answerBlocks().count(QStringLiteral("none")), blocks);
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->Tag, 1);
    QCOMPARE(TActionList::Tag(w().command(QStringLiteral("ActShowAllAnswer"))), 0);
    QVERIFY(m_dialogs->texts().count() == 1);
  }

  // Smaller at the start size stays there; larger four times stops at
  // x-large; the keys do the same.
  void textSize() {
    openSection(kSection); // a fresh page at the start size
    QCOMPARE(fontSize(), QString());
    press(6);
    QCOMPARE(fontSize(), QStringLiteral("small"));
    QStringList steps;
    for (int i = 0; i < 4; ++i) {
      press(5);
      steps << fontSize();
    }
    QCOMPARE(steps, (QStringList{"medium", "large", "x-large", "x-large"}));
    QTest::keyClick(&w(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(fontSize(), QStringLiteral("large"));
    QTest::keyClick(&w(), Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(fontSize(), QStringLiteral("x-large"));
    QCOMPARE(eval(QStringLiteral("getComputedStyle(document.getElementById('T34_34')).fontSize")).toString(),
             QStringLiteral("24px"));
    QVERIFY(m_dialogs->shown.isEmpty());
  }

  // 打印 opens the print preview of the page on display, with its pages.
  void printPreview() {
    int pages = -1;
    m_dialogs->modalHandler = [&pages](QDialog &d) {
      auto *preview = qobject_cast<QPrintPreviewDialog *>(&d);
      if (!preview)
        return int(QDialog::Rejected);
      d.show();
      auto *widget = d.findChild<QPrintPreviewWidget *>();
      if (widget)
        (void)QTest::qWaitFor([widget] { return widget->pageCount() > 0; }, 30000);
      pages = widget ? widget->pageCount() : -2;
      d.reject();
      return int(QDialog::Rejected);
    };
    press(4);
    w().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w()));
    QCOMPARE(m_dialogs->modalForms, QStringList{QStringLiteral("QPrintPreviewDialog")});
    QVERIFY2(pages > 0, qPrintable(QString::number(pages)));
    QVERIFY(m_dialogs->shown.isEmpty());
  }

  // A new paper brings the show-answer button back to 显示答案, and its
  // first click shows the answers of the new page.
  void newPaperResetsShowAnswer() {
    press(1);
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->Tag, 4);
    openSection(132);
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->Tag, 1);
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->accessibleName(), QStringLiteral("显示答案"));
    QCOMPARE(w().PanelPaperToolBar->ImagePaperTools1->pixmap().toImage(), Pictures::paperToolPicture(5, 1).toImage());
    QCOMPARE(TActionList::Tag(w().command(QStringLiteral("ActShowAllAnswer"))), 0);
    QCOMPARE(w().command(QStringLiteral("ActShowAllAnswer"))->text(), QStringLiteral("显示答案"));
    press(1);
    QCOMPARE(answerBlocks().count(QString()), answerBlocks().size());
    press(1);
  }

  // The full-screen button shows 退出 in full-screen mode, however the
  // mode was entered, and its release leaves the mode.
  void fullScreenButton() {
    PictureButton *b = w().PanelPaperToolBar->ImagePaperTools7;
    press(7);
    QVERIFY(w().fullScreenMode());
    QVERIFY(!w().Panel1->isVisible());
    QCOMPARE(b->Tag, 9);
    QCOMPARE(b->accessibleName(), QStringLiteral("退出"));
    QCOMPARE(b->property("picture").toString(), QStringLiteral("ImageList7[4]"));
    press(7);
    QVERIFY(!w().fullScreenMode());
    QVERIFY(w().Panel1->isVisible());
    QCOMPARE(b->Tag, 8);
    QCOMPARE(b->accessibleName(), QStringLiteral("全屏"));

    QTest::keyClick(&w(), Qt::Key_F11);
    QVERIFY(w().fullScreenMode());
    QCOMPARE(b->Tag, 9);
    QCOMPARE(b->property("picture").toString(), QStringLiteral("ImageList7[4]"));
    QTest::keyClick(&w(), Qt::Key_Escape);
    QVERIFY(!w().fullScreenMode());
    QCOMPARE(b->Tag, 8);
    QCOMPARE(b->property("picture").toString(), QStringLiteral("ImageList7[3]"));
  }

  // The error feedback form shows its question on a page of its own: after
  // it closes, the paper in the window is still the chapter paper (kind,
  // title, questions), is graded on the unchanged paperState().questions and can be
  // stored like any other.
  void errorReportKeepsThePaper() {
    openSection(kSection);
    const std::vector<int> numbers = paperNumbers();
    const QString title = paperState().title;
    QCOMPARE(checkedIds(), tickAnswers());
    m_dialogs->modalHandler = [](QDialog &d) {
      d.reject();
      return int(QDialog::Rejected);
    };
    page().runScript(QStringLiteral("document.querySelector('a[mode=ct]').click()"));
    QTRY_COMPARE(m_dialogs->modalForms, QStringList{QStringLiteral("TFrmErrorReport")});
    QCOMPARE(paperState().kind, PaperKinds::Chapter);
    QCOMPARE(paperState().title, title);
    QCOMPARE(paperNumbers(), numbers);

    const std::size_t stored = records().size();
    Report report;
    handleReport(report);
    m_dialogs->answers = {true};
    press(2);
    QVERIFY(report.seen);
    QCOMPARE(report.rows, expectedReport().mid(1));
    QCOMPARE(redStems(), (QList<int>{35, 37, 38, 41}));
    QCOMPARE(m_dialogs->texts(), (QStringList{QStringLiteral("是否将本次测试结果保存到测试历史中？(Y/N)"),
                                              QStringLiteral("已经成功地保存到测试历史中！")}));
    QCOMPARE(records().size(), stored + 1);
    QCOMPARE(records().back().name, title);
  }

  // Before any question page: answer again, show answers and grading say
  // "请先选择试卷！" and change nothing; zoom on a page without the paper's
  // functions is reported by the general error handler.
  void noPaperYet() {
    FakeDialogs dialogs;
    TestEnv::ProgramDirFixture dir(
        {QStringLiteral("INSERT INTO 题目类别(编号,名称,父级编号,属性) VALUES(1,'科目甲',0,'0'),(10,'第一章',1,'1');")});
    TFrmMain win{ProgramDir(dir.root())};
    QVERIFY(!win.startupFailed());
    win.show();
    QVERIFY(QTest::qWaitForWindowExposed(&win));
    QVERIFY(!win.paperState().onDisplay);
    dialogs.answers = {true, true, true};
    for (QAction *a : {win.command(QStringLiteral("ActReAnswer")), win.command(QStringLiteral("ActShowAllAnswer")), win.command(QStringLiteral("ActSummitPaper"))})
      a->trigger();
    QCOMPARE(dialogs.shown.size(), 3);
    for (const FakeDialogs::Shown &s : dialogs.shown) {
      QCOMPARE(s.text, QStringLiteral("请先选择试卷！"));
      QCOMPARE(s.caption, QStringLiteral("未选择试卷"));
      QCOMPARE(s.icon, Dialogs::Icon::Information);
    }
    QCOMPARE(dialogs.answers.size(), 3);
    QVERIFY(dialogs.modalForms.isEmpty());
    QCOMPARE(TActionList::Tag(win.command(QStringLiteral("ActShowAllAnswer"))), 0);
    QCOMPARE(win.PanelPaperToolBar->ImagePaperTools1->Tag, 1);

    dialogs.shown.clear();
    QVERIFY(win.WebBrowser1->waitForLoad());
    win.command(QStringLiteral("ActZoomIn"))->trigger();
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::Error);
    win.hide();
  }
};

QBRX_TEST_MAIN(TstPaperJourney)
#include "tst_paperjourney.moc"
