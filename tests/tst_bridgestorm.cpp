// test-links: widgets
// A page that drives the bridge as no learner can: the real main window,
// its real view and bridge, the program's own dialogs, a real bank. 20,000
// favourite calls across the paper's questions and others, 40 feedback
// calls among them: the window's event loop keeps turning, one feedback form
// opens, the bank holds what the last call of each paper question says and
// nothing else changed.
// ctest-timeout: 300

#include "Heartbeat.h"
#include "ModalDriver.h"
#include "MainWindowFixture.h"
#include "TestEnv.h"
#include "feedback/ui/ErrorReport.h"
#include "app/ui/WidgetDialogs.h"
#include "app/PaperState.h"
#include "render/MyExternal.h"
#include "render/ui/WebHtmlView.h"
#include "store/DM.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QtTest>
#include <algorithm>
#include <map>

namespace {

// The program's own dialogs, counting the modal forms they show.
struct CountingDialogs : WidgetDialogs {
  QStringList forms;
  int execModal(QDialog &dialog) override {
    forms << QString::fromLatin1(dialog.metaObject()->className());
    return WidgetDialogs::execModal(dialog);
  }
};

constexpr int kCalls = 20000;
const char *const kMarks[] = {"1", "0", ""};
// The mark the page passes with call i (the same formula as the script's).
int markOf(int i) { return (i * 13 + (i >> 3)) % 3; }

} // namespace

class TstBridgeStorm : public QObject {
  Q_OBJECT

private slots:
  void storm() {
    MainWindowFixture fixture;
    QVERIFY(fixture.showActive());
    TFrmMain &w = *fixture.window;
    QVERIFY(w.WebBrowser1->waitForLoad());
    auto *bridge = qobject_cast<TMyExternal *>(w.WebBrowser1->external());
    QVERIFY(bridge);
    TDataModule1 &dm = *w.dataModule();

    // The paper's links, and as many questions that the page does not carry.
    const std::vector<int> onPaper = fixture.paperState().linkNumbers;
    QVERIFY2(onPaper.size() >= 5, qPrintable(QString::number(onPaper.size())));
    std::vector<int> ids = onPaper, offPaper;
    {
      TADOQuery q(dm.ADOConnection1, QStringLiteral("others"));
      q.SQL.Add(QStringLiteral("SELECT 小题号 FROM 小题 ORDER BY 小题号"));
      q.Open();
      for (q.First(); !q.Eof() && offPaper.size() < onPaper.size(); q.Next())
        if (!fixture.paperState().links(q.Fields(0).AsInteger()))
          offPaper.push_back(q.Fields(0).AsInteger());
    }
    ids.insert(ids.end(), offPaper.begin(), offPaper.end());
    // Every third question marked before, so that flips start from both.
    std::map<int, int> marks;
    for (size_t k = 0; k < ids.size(); ++k)
      marks[ids[k]] = k % 3 == 0;
    const auto readMarks = [&] {
      std::map<int, int> out;
      TADOQuery q(dm.ADOConnection1, QStringLiteral("marks"));
      q.SQL.Add(QStringLiteral("SELECT 小题号, 是否收藏 FROM 小题"));
      q.Open();
      for (q.First(); !q.Eof(); q.Next())
        if (marks.count(q.Fields(0).AsInteger()))
          out[q.Fields(0).AsInteger()] = q.Fields(1).AsInteger();
      return out;
    };
    for (const auto &[x, m] : marks)
      dm.ADOConnection1.ExecuteScript(QStringLiteral("UPDATE 小题 SET 是否收藏=%1 WHERE 小题号=%2;").arg(m).arg(x));
    QCOMPARE(readMarks(), marks);

    // What the bank must hold: each call in order, on the paper's questions.
    std::map<int, int> expected = marks;
    for (int i = 0; i < kCalls; ++i) {
      const int x = ids[size_t(i) % ids.size()];
      if (!fixture.paperState().links(x))
        continue;
      const int m = markOf(i);
      expected[x] = m == 0 ? 1 : m == 1 ? 0 : 1 - expected[x];
    }
    QVERIFY(expected != marks);

    CountingDialogs dialogs;
    setDialogs(&dialogs);
    const auto restore = qScopeGuard([&] { setDialogs(&fixture.dialogs); });
    QSignalSpy requests(bridge, &TMyExternal::favouriteRequested);
    QSignalSpy toggled(&w.events(), &AppEvents::favouriteToggled);
    // The form stays up until the last call has come (calls keep their
    // order), then 关闭; a message box would be a fault: noted and closed.
    ModalDriver driver(150000);
    driver.until<TFrmErrorReport>([&](TFrmErrorReport &form) {
      if (requests.count() != kCalls)
        return false;
      QMetaObject::invokeMethod(form.BitBtn2, &QPushButton::click, Qt::QueuedConnection);
      return true;
    });

    QStringList list;
    for (int x : ids)
      list << QString::number(x);
    const QString script = QStringLiteral(R"((function (ids, n) {
  var marks = ['%1', '%2', '%3'];
  for (var i = 0; i < n; ++i) {
    external.DoSeaarchData(String(ids[i % ids.length]), marks[(i * 13 + (i >> 3)) % 3]);
    if (i % 500 === 250)
      external.SubbitError(ids[0]);
  }
})([%4], %5))")
                               .arg(QLatin1String(kMarks[0]), QLatin1String(kMarks[1]), QLatin1String(kMarks[2]),
                                    list.join(QLatin1Char(',')))
                               .arg(kCalls);
    Heartbeat heartbeat;
    heartbeat.start();
    w.WebBrowser1->page()->runJavaScript(script);
    QTRY_COMPARE_WITH_TIMEOUT(requests.count(), kCalls, 120000);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QTRY_COMPARE(readMarks(), expected);
    const qint64 longest = heartbeat.stop();
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    const QStringList boxes = driver.boxTexts();

    qInfo("longest stall of the event loop: %lld ms; favouriteToggled %d times", longest, int(toggled.count()));
    QVERIFY2(longest < 1000, qPrintable(QStringLiteral("%1 ms").arg(longest)));
    QCOMPARE(dialogs.forms, QStringList{QStringLiteral("TFrmErrorReport")});
    QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(QLatin1Char('\n'))));
    // Told for what was written, and only that.
    for (const QList<QVariant> &args : toggled)
      QVERIFY(fixture.paperState().links(args.at(0).toInt()));
    QVERIFY(toggled.count() > 0);
    QVERIFY2(w.WebBrowser1->scriptErrors().isEmpty(), qPrintable(w.WebBrowser1->scriptErrors().join(QLatin1Char('\n'))));
  }
};

QBRX_TEST_MAIN(TstBridgeStorm)
#include "tst_bridgestorm.moc"
