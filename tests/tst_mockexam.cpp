// test-links: widgets
// The mock exam in the real main window, headless, on the demo bank: the
// setup dialog's rows and wiring, a paper drawn, shown, answered and stored as
// kind 2 (through the real modal dialogs), Cancel, engine faults in the load
// and in the generation, and the time limit's clock in the paper toolbar.
// ctest-timeout: 300

#include "FakeDialogs.h"
#include "MainWindowFixture.h"
#include "ModalDriver.h"
#include "TestEnv.h"
#include "exam/MockExamSetup.h"
#include "exam/ui/BankReadDialog.h"
#include "exam/ui/CreatePaper.h"
#include "exam/ui/ExamClockWidget.h"
#include "exam/ui/MLKC.h"
#include "exam/ui/MLKCPre.h"
#include "exam/ui/ShowTestResult.h"
#include "mainwin/ui/CategoryTreeView.h"
#include "mainwin/ui/Main.h"
#include "mainwin/ui/PaperToolbarBar.h"
#include "app/ui/WidgetDialogs.h"
#include "app/ActionList.h"
#include "app/PaperState.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDeadlineTimer>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <memory>
#include <sqlite3.h>

namespace {

constexpr int kSection = 122; // 第二节 SQL语言基础

// Counts the candidate collections the connection runs.
class CollectionCounter {
public:
  explicit CollectionCounter(sqlite3 *db) : m_db(db) { sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &traced, this); }
  ~CollectionCounter() { sqlite3_trace_v2(m_db, 0, nullptr, nullptr); }
  int take() { return m_count.exchange(0); }

private:
  static int traced(unsigned, void *self, void *, void *sql) {
    if (std::strstr(static_cast<const char *>(sql), "FROM 小题 WHERE 小题号=大题号"))
      ++static_cast<CollectionCounter *>(self)->m_count;
    return 0;
  }
  sqlite3 *m_db;
  std::atomic<int> m_count{0};
};

// What a dialog that closes by itself showed, read when it was shown.
struct ShownReadDialog {
  QString form, caption, text;
  int maximum = -1;
};

class ReadDialogWatch : public QObject {
public:
  ReadDialogWatch() { qApp->installEventFilter(this); }
  ~ReadDialogWatch() override { qApp->removeEventFilter(this); }
  QList<ShownReadDialog> shown;

protected:
  bool eventFilter(QObject *o, QEvent *e) override {
    if (e->type() == QEvent::Show && !e->spontaneous())
      if (auto *d = qobject_cast<BankReadDialog *>(o))
        shown.append({QString::fromLatin1(d->metaObject()->className()), d->windowTitle(), d->Label1->text(),
                      d->ProgressBar1->maximum()});
    return false;
  }
};

} // namespace

class TstMockExam : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindowFixture> m_fixture;
  PaperState &paperState() const { return m_fixture->paperState(); }
  FakeDialogs *m_dialogs = nullptr;

  TFrmMain &w() { return *m_fixture->window; }
  WebHtmlView &page() { return *w().WebBrowser1; }
  TADOConnection &connection() { return w().dataModule()->ADOConnection1; }
  QAction *submit() { return w().command(QStringLiteral("ActSummitPaper")); }

  QVariant eval(const QString &script) {
    if (!page().waitForLoad())
      return QStringLiteral("<load timed out>");
    return page().evaluate(script);
  }

  QVariant value(const QString &sql) {
    TADOQuery q(connection(), QStringLiteral("check"));
    q.SQL.Add(sql);
    q.Open();
    return q.IsEmpty() ? QVariant() : q.Fields(0).Value();
  }

  std::vector<int> paperNumbers() const {
    std::vector<int> out;
    for (const TXiaoTi &x : paperState().paper)
      out.push_back(x.XiaoTiHao);
    return out;
  }

  // Until the setup's reads of the learner's changes are applied.
  static bool settled(TFrmMLKC &form) {
    QDeadlineTimer deadline(30000);
    while (form.busy() && !deadline.hasExpired())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    return !form.busy();
  }

  ExamClockWidget *toolbarClock() { return w().PanelPaperToolBar->FeatureSlot->findChild<ExamClockWidget *>(); }

  // The loading and generation dialogs run for real (they close
  // themselves); the setup dialog goes to `setup`; the result report is
  // closed through its button.
  void runDialogs(std::function<int(TFrmMLKC &)> setup) {
    m_dialogs->modalHandler = [setup](QDialog &d) -> int {
      if (qobject_cast<BankReadDialog *>(&d))
        return d.exec();
      if (auto *form = qobject_cast<TFrmMLKC *>(&d))
        return setup(*form);
      if (auto *report = qobject_cast<TFrmShowTestResult *>(&d)) {
        report->closeButton()->click();
        return report->result();
      }
      return int(QDialog::Rejected);
    };
  }

  // A kind-2 paper on display with a clock of 90 minutes that reads `now`.
  QPointer<ExamClockWidget> startTimedPaper(qint64 &now) {
    PaperRequest request;
    request.paper = {{1}, {2}, {4}};
    request.kind = PaperKinds::MockExam;
    request.title = QStringLiteral("模拟考场(2026-01-01 10:00:00)");
    if (!w().showPaper(request))
      return nullptr;
    return ExamClockWidget::start(90, submit(), w().events(), w().context().paperToolbarSlot, [&now] { return now; });
  }

  // Papers stored as kind 2, by title.
  QStringList mockExamRecords() {
    TADOQuery q(connection(), QStringLiteral("check"));
    q.SQL.Add(QStringLiteral("SELECT 测试名称 FROM 测试结果 WHERE 测试类型=2 ORDER BY 编号"));
    q.Open();
    QStringList out;
    for (q.First(); !q.Eof(); q.Next())
      out << q.Fields(0).AsString();
    return out;
  }

  void openSection(int id) {
    const std::vector<CategoryNode> &nodes = w().categoryTree().nodes();
    for (std::size_t i = 0; i < nodes.size(); ++i)
      if (nodes[i].info && nodes[i].info->ID == id)
        w().TreeView1->selectNode(int(i));
    w().command(QStringLiteral("ActSCSTKST"))->trigger();
    QCOMPARE(paperState().chapterId, id);
  }

private slots:
  // Each test starts on its own window and bank with a chapter paper on
  // display.
  void init() {
    m_fixture = std::make_unique<MainWindowFixture>();
    m_dialogs = &m_fixture->dialogs;
    QVERIFY(!w().startupFailed());
    QVERIFY(m_fixture->showActive());
    openSection(kSection);
    QVERIFY(page().waitForLoad());
    QCOMPARE(paperState().kind, PaperKinds::Chapter);
    m_dialogs->shown.clear();
  }
  void cleanup() {
    m_dialogs = nullptr;
    m_fixture.reset();
  }

  // The command is available on main-menu button 2 and Ctrl+2.
  void commandAvailable() {
    QAction *exam = w().command(QStringLiteral("ActMLKC"));
    QVERIFY(exam->isEnabled());
    QCOMPARE(w().menuAction(1), exam);
    QVERIFY(exam->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_2)));
  }

  // From the setup to a stored kind-2 record, through the production
  // dialogs: the loading dialog, the setup (a subject unticked, a time
  // limit of 30 minutes), the generation; then the page from its top with the
  // title, the clock in the toolbar, an answer, the submission and the store.
  void mockExamThroughRealDialogs() {
    WidgetDialogs real;
    setDialogs(&real);
    ReadDialogWatch watch;
    struct {
      QStringList chapters, rows, messages;
      QString summary;
    } seen;
    // Each action is queued and waits while the form reads: a message box
    // it opens is answered by the driver.
    ModalDriver driver(90000);
    driver.until<TFrmMLKC>([](TFrmMLKC &form) {
      if (form.busy())
        return false;
      QMetaObject::invokeMethod(
          &form, [f = &form] { f->CheckListBoxSTLY->item(1)->setCheckState(Qt::Unchecked); }, Qt::QueuedConnection);
      return true;
    });
    driver.until<TFrmMLKC>([&seen](TFrmMLKC &form) {
      if (form.busy())
        return false;
      for (int i = 0; i < form.CheckListBoxSTKM->count(); ++i)
        seen.chapters << form.CheckListBoxSTKM->item(i)->text();
      for (std::size_t i = 0; i < form.TypeCountLabels.size(); ++i)
        seen.rows << QStringLiteral("%1 %2/%3")
                         .arg(form.TypeCountLabels[i]->toolTip())
                         .arg(form.TypeCountEdits[i]->value())
                         .arg(form.TypeCountEdits[i]->maximum());
      seen.summary = form.LabelSummary->text();
      QMetaObject::invokeMethod(&form, [f = &form] { f->SpinEditTime->setValue(30); }, Qt::QueuedConnection);
      return true;
    });
    driver.until<TFrmMLKC>([](TFrmMLKC &form) {
      if (form.busy())
        return false;
      QMetaObject::invokeMethod(form.BitBtn1, &QAbstractButton::click, Qt::QueuedConnection);
      return true;
    });
    w().command(QStringLiteral("ActMLKC"))->trigger();
    setDialogs(m_dialogs);
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    seen.messages = driver.boxTexts();

    QVERIFY(seen.messages.isEmpty());
    QCOMPARE(watch.shown.size(), 2);
    QCOMPARE(watch.shown[0].form, QStringLiteral("TFrmMLKCPre"));
    QCOMPARE(watch.shown[0].caption, QStringLiteral("读取数据"));
    QCOMPARE(watch.shown[0].text, QStringLiteral("正在读取题库数据，请稍候..."));
    QCOMPARE(watch.shown[0].maximum, 300);
    QCOMPARE(watch.shown[1].form, QStringLiteral("TFrmCreatePaper"));
    QCOMPARE(watch.shown[1].caption, QStringLiteral("生成试卷"));
    QCOMPARE(watch.shown[1].text, QStringLiteral("正在生成随机试卷，请稍候..."));
    QCOMPARE(watch.shown[1].maximum, 0); // busy

    // The chapters of the first subject; one row per type it has, in the
    // order of 类型说明, then the case questions.
    QCOMPARE(seen.chapters, (QStringList{QStringLiteral("第一章 计算机系统基础"), QStringLiteral("第二章 数据库基础"),
                                         QStringLiteral("第三章 计算机网络基础"), QStringLiteral("第四章 信息安全基础")}));
    const QString sectionsOfSubject1 = QStringLiteral(
        "所属编号 IN (SELECT 编号 FROM 题目类别 WHERE 父级编号 IN (SELECT 编号 FROM 题目类别 WHERE 父级编号=1))");
    QStringList expectedRows;
    int questions = 0;
    for (const QString &type : {QStringLiteral("单项选择题"), QStringLiteral("多项选择题"), QStringLiteral("判断题"),
                                QStringLiteral("填空题"), QStringLiteral("简答题"), QStringLiteral("计算题")}) {
      const int n = value(QStringLiteral("SELECT count(*) FROM 小题 WHERE 小题号=大题号 AND 题目类型='%1' AND "
                                         "小题号 NOT IN (SELECT 大题号 FROM 大题) AND ")
                              .arg(type) +
                          sectionsOfSubject1)
                        .toInt();
      if (n > 0)
        expectedRows << QStringLiteral("%1 %2/%3").arg(type).arg(std::min(5, n)).arg(n);
      questions += std::min(5, n);
    }
    const int cases =
        value(QStringLiteral("SELECT count(*) FROM 小题 WHERE 小题号 IN (SELECT 大题号 FROM 大题) AND ") + sectionsOfSubject1)
            .toInt();
    QVERIFY(cases > 0);
    expectedRows << QStringLiteral("案例分析题 %1/%2").arg(std::min(5, cases)).arg(cases);
    questions += std::min(5, cases);
    QCOMPARE(seen.rows, expectedRows);
    QVERIFY2(seen.summary.startsWith(QStringLiteral("共 %1 题，满分 ").arg(questions)), qPrintable(seen.summary));
    // A range of full marks says why.
    QCOMPARE(seen.summary.contains(QStringLiteral("～")), seen.summary.contains(MockExamText::MarksRangeWhy));

    // The paper: kind 2, titled with the time, drawn from the first subject
    // only, one entry per question.
    QCOMPARE(paperState().kind, PaperKinds::MockExam);
    QVERIFY2(QRegularExpression(QStringLiteral("^模拟考场\\(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\)$"))
                 .match(paperState().title)
                 .hasMatch(),
             qPrintable(paperState().title));
    QCOMPARE(int(paperState().paper.size()), questions);
    QStringList listed;
    for (int x : paperNumbers())
      listed << QString::number(x);
    QCOMPARE(value(QStringLiteral("SELECT count(DISTINCT 小题号) FROM 小题 WHERE 小题号 IN (%1) AND ")
                       .arg(listed.join(QLatin1Char(','))) +
                   sectionsOfSubject1)
                 .toInt(),
             questions);
    QCOMPARE(eval(QStringLiteral("document.title")).toString(), paperState().title);
    QCOMPARE(eval(QStringLiteral("window.scrollY")).toInt(), 0);

    // The clock runs in the toolbar; the time limit is the next default.
    QPointer<ExamClockWidget> clock = toolbarClock();
    QVERIFY(clock);
    QVERIFY(clock->isVisible());
    QVERIFY2(QRegularExpression(QStringLiteral("^剩余 (30:00|29:[0-5]\\d)$")).match(clock->text()).hasMatch(),
             qPrintable(clock->text()));
    QCOMPARE(value(QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名='考试时间'")).toString(), QStringLiteral("30"));

    // Answered and submitted: stored as kind 2 under the paper's title; the
    // clock is over.
    QVERIFY(!paperState().questions.empty());
    page().runScript(QStringLiteral("document.getElementById('%1/0').click()").arg(paperState().questions[0].XiaoTiHao));
    QVERIFY(eval(QStringLiteral("document.getElementById('%1/0').checked").arg(paperState().questions[0].XiaoTiHao)).toBool());
    runDialogs([](TFrmMLKC &) { return int(QDialog::Rejected); });
    m_dialogs->answers = {true};
    submit()->trigger();
    QVERIFY(m_dialogs->sawText(QStringLiteral("已经成功地保存到测试历史中！")));
    QCOMPARE(mockExamRecords(), QStringList{paperState().title});
    QCOMPARE(value(QStringLiteral("SELECT count(*) FROM 测试题目 WHERE 测试编号=(SELECT max(编号) FROM 测试结果)")).toInt(),
             int(paperState().questions.size()));
    QTRY_VERIFY(!clock);
  }

  // The count rows at their places, one collection for the load and one per
  // learner change (filling a list is no change); unticking every chapter;
  // then Cancel: the chapter paper, its kind and title stay, nothing is
  // remembered.
  void setupRowsAndCancel() {
    const std::vector<int> paper = paperNumbers();
    const QString title = paperState().title;
    CollectionCounter counter(connection().handle());
    struct {
      int atLoad = -1, subjectClick = -1, chapterClick = -1, rangeClick = -1;
      bool settled = false;
      QStringList geometry, labels, messages;
      bool emptyRows = false;
    } seen;
    runDialogs([&](TFrmMLKC &f) {
      seen.atLoad = counter.take();
      for (std::size_t i = 0; i < f.TypeCountLabels.size(); ++i) {
        const QRect l = f.TypeCountLabels[i]->geometry(), e = f.TypeCountEdits[i]->geometry();
        seen.geometry << QStringLiteral("%1,%2,%3 %4,%5,%6").arg(l.x()).arg(l.y()).arg(l.width()).arg(e.x()).arg(e.y()).arg(e.width());
        seen.labels << f.TypeCountLabels[i]->toolTip();
      }
      f.CheckListBoxSTLY->item(1)->setCheckState(Qt::Unchecked);
      seen.settled = settled(f);
      seen.subjectClick = counter.take();
      f.CheckListBoxSTKM->item(0)->setCheckState(Qt::Unchecked);
      seen.settled &= settled(f);
      seen.chapterClick = counter.take();
      f.RangeButtons->button(1)->click();
      seen.settled &= settled(f);
      seen.rangeClick = counter.take();
      f.RangeButtons->button(0)->click();
      // Every chapter unticked in a row, faster than the reads.
      for (int i = 0; i < f.CheckListBoxSTKM->count(); ++i)
        f.CheckListBoxSTKM->item(i)->setCheckState(Qt::Unchecked);
      seen.settled &= settled(f);
      counter.take();
      seen.messages = m_dialogs->texts();
      seen.emptyRows = f.TypeCountEdits.empty() && f.LabelSummary->text() == QStringLiteral("共 0 题，满分 0 分");
      m_dialogs->shown.clear();
      f.BitBtn1->click();
      seen.messages += m_dialogs->texts();
      f.BitBtn2->click();
      return f.result();
    });
    w().command(QStringLiteral("ActMLKC"))->trigger();

    QVERIFY(seen.settled);
    QCOMPARE(seen.atLoad, 1);
    QCOMPARE(seen.subjectClick, 1);
    QCOMPARE(seen.chapterClick, 1);
    QCOMPARE(seen.rangeClick, 1);
    QCOMPARE(seen.labels, (QStringList{QStringLiteral("单项选择题"), QStringLiteral("多项选择题"), QStringLiteral("判断题"),
                                       QStringLiteral("填空题"), QStringLiteral("简答题"), QStringLiteral("计算题"),
                                       QStringLiteral("案例分析题")}));
    for (int i = 0; i < seen.geometry.size(); ++i)
      QCOMPARE(seen.geometry[i], QStringLiteral("16,%1,60 84,%2,51").arg(16 + 29 * i).arg(12 + 29 * i));
    // Unticking the last chapter says so once; 开始考试 then asks for counts.
    QCOMPARE(seen.messages, (QStringList{QStringLiteral("没有符合要求的试题科目！"), QStringLiteral("题量不能为空！")}));
    QVERIFY(seen.emptyRows);

    QCOMPARE(m_dialogs->modalForms, (QStringList{QStringLiteral("TFrmMLKCPre"), QStringLiteral("TFrmMLKC")}));
    QCOMPARE(paperState().kind, PaperKinds::Chapter);
    QCOMPARE(paperState().title, title);
    QCOMPARE(paperNumbers(), paper);
    QVERIFY(!toolbarClock());
    QCOMPARE(value(QStringLiteral("SELECT 参数值 FROM 系统参数 WHERE 参数名='考试时间'")).toString(), QStringLiteral("90"));
  }

  // 开始考试 pressed while a change is being read starts once it is
  // applied: the paper comes from the choice as the learner left it.
  void startWaitsForTheRead() {
    bool busyAtStart = false;
    runDialogs([&](TFrmMLKC &f) {
      f.CheckListBoxSTLY->item(1)->setCheckState(Qt::Unchecked);
      busyAtStart = f.busy();
      f.BitBtn1->click();
      settled(f);
      return f.result();
    });
    w().command(QStringLiteral("ActMLKC"))->trigger();
    QVERIFY(busyAtStart);
    QCOMPARE(paperState().kind, PaperKinds::MockExam);
    QStringList listed;
    for (int x : paperNumbers())
      listed << QString::number(x);
    QCOMPARE(value(QStringLiteral("SELECT count(*) FROM 小题 s JOIN 题目类别 j ON j.编号=s.所属编号 JOIN 题目类别 z "
                                  "ON z.编号=j.父级编号 WHERE z.父级编号<>1 AND s.小题号 IN (%1)")
                       .arg(listed.join(QLatin1Char(','))))
                 .toInt(),
             0);
  }

  // An engine error in the generation's read (of the questions, or of the
  // case questions): one message, no paper, the setup stays open and the
  // paper on display as it was; once the cause is gone the exam starts.
  void generationFault_data() {
    QTest::addColumn<QString>("table");
    QTest::newRow("小题") << QStringLiteral("小题");
    QTest::newRow("大题") << QStringLiteral("大题");
  }
  void generationFault() {
    QFETCH(QString, table);
    const std::vector<int> paper = paperNumbers();
    struct {
      QList<FakeDialogs::Shown> shown;
      bool open = false, unchanged = false;
    } atFault;
    runDialogs([&](TFrmMLKC &f) {
      connection().ExecuteScript(QStringLiteral("ALTER TABLE %1 RENAME TO 旧表;").arg(table));
      f.BitBtn1->click();
      atFault.shown = m_dialogs->shown;
      atFault.open = f.result() != QDialog::Accepted && !f.request();
      atFault.unchanged = paperState().kind == PaperKinds::Chapter && paperNumbers() == paper;
      connection().ExecuteScript(QStringLiteral("ALTER TABLE 旧表 RENAME TO %1;").arg(table));
      f.BitBtn1->click();
      return f.result();
    });
    w().command(QStringLiteral("ActMLKC"))->trigger();

    QCOMPARE(atFault.shown.size(), 1);
    QCOMPARE(atFault.shown[0].icon, Dialogs::Icon::Error);
    QVERIFY2(atFault.shown[0].text.contains(QStringLiteral("旧表")) || atFault.shown[0].text.contains(table),
             qPrintable(atFault.shown[0].text));
    QVERIFY(atFault.open);
    QVERIFY(atFault.unchanged);
    QCOMPARE(paperState().kind, PaperKinds::MockExam);
    QVERIFY(!paperState().paper.empty());
  }

  // An engine error in the first load: one message, no setup dialog, the
  // paper on display and its kind as they were.
  void firstLoadFault() {
    const QString title = paperState().title;
    connection().ExecuteScript(QStringLiteral("ALTER TABLE 题目类别 RENAME TO 旧表;"));
    runDialogs([](TFrmMLKC &) { return int(QDialog::Accepted); });
    w().command(QStringLiteral("ActMLKC"))->trigger();
    QCOMPARE(m_dialogs->shown.size(), 1);
    QCOMPARE(m_dialogs->shown[0].icon, Dialogs::Icon::Error);
    QCOMPARE(m_dialogs->modalForms, QStringList{QStringLiteral("TFrmMLKCPre")});
    QCOMPARE(paperState().kind, PaperKinds::Chapter);
    QCOMPARE(paperState().title, title);
    connection().ExecuteScript(QStringLiteral("ALTER TABLE 旧表 RENAME TO 题目类别;"));
  }

  // The clock: red in the last five minutes; at zero it waits for a dialog
  // in front of the paper, then submits once (report, storage question) and
  // goes away.
  void clockSubmitsOnceAtZero() {
    qint64 now = 0;
    QPointer<ExamClockWidget> clock = startTimedPaper(now);
    QVERIFY(clock);
    QCOMPARE(toolbarClock(), clock.data());
    QSignalSpy submits(submit(), &QAction::triggered);
    QCOMPARE(clock->text(), QStringLiteral("剩余 90:00"));
    QVERIFY(!clock->styleSheet().contains(QStringLiteral("red")));
    now = 85 * 60 * 1000;
    clock->tick();
    QCOMPARE(clock->text(), QStringLiteral("剩余 05:00"));
    QVERIFY(clock->styleSheet().contains(QStringLiteral("red")));

    QDialog other(&w());
    other.setModal(true);
    other.show();
    QCOMPARE(QApplication::activeModalWidget(), static_cast<QWidget *>(&other));
    now = 90 * 60 * 1000;
    clock->tick();
    QCOMPARE(clock->text(), QStringLiteral("剩余 00:00"));
    QCOMPARE(submits.count(), 0);
    other.hide();

    runDialogs([](TFrmMLKC &) { return int(QDialog::Rejected); });
    // The learner is told the time is up before the report opens, and the
    // clock itself says so meanwhile.
    QStringList beforeReport;
    QString clockText;
    const auto report = m_dialogs->modalHandler;
    m_dialogs->modalHandler = [&](QDialog &d) {
      beforeReport = m_dialogs->texts();
      if (clock)
        clockText = clock->text();
      return report(d);
    };
    m_dialogs->answers = {true};
    clock->tick();
    QCOMPARE(submits.count(), 1);
    QCOMPARE(beforeReport, QStringList{MockExamText::TimeUp});
    QCOMPARE(m_dialogs->shown.first().caption, QStringLiteral("时间到"));
    QCOMPARE(clockText, QStringLiteral("时间到"));
    QCOMPARE(m_dialogs->modalForms, QStringList{QStringLiteral("TFrmShowTestResult")});
    QCOMPARE(mockExamRecords(), QStringList{QStringLiteral("模拟考场(2026-01-01 10:00:00)")});
    QTRY_VERIFY(!clock);
    QCOMPARE(submits.count(), 1);
  }

  // Submitting by hand stops the clock: no second submission later.
  void earlySubmitStopsClock() {
    qint64 now = 0;
    QPointer<ExamClockWidget> clock = startTimedPaper(now);
    QVERIFY(clock);
    QSignalSpy submits(submit(), &QAction::triggered);
    runDialogs([](TFrmMLKC &) { return int(QDialog::Rejected); });
    m_dialogs->answers = {false};
    now = 10 * 60 * 1000;
    submit()->trigger();
    QTRY_VERIFY(!clock);
    now = 100 * 60 * 1000;
    QCoreApplication::processEvents();
    QCOMPARE(submits.count(), 1);
    QVERIFY(!toolbarClock());
  }

  // Another paper on display stops the clock without submitting.
  void newPaperStopsClock() {
    qint64 now = 0;
    QPointer<ExamClockWidget> clock = startTimedPaper(now);
    QVERIFY(clock);
    QSignalSpy submits(submit(), &QAction::triggered);
    openSection(kSection);
    QTRY_VERIFY(!clock);
    now = 100 * 60 * 1000;
    QCoreApplication::processEvents();
    QCOMPARE(submits.count(), 0);
    QCOMPARE(paperState().kind, PaperKinds::Chapter);
  }
};

QBRX_TEST_MAIN(TstMockExam)
#include "tst_mockexam.moc"
