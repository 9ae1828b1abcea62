// test-links: widgets
// "在线升级" as the learner meets it: the command of the main window, the
// production dialogs and a real modal exec(), the lines read from the live
// Memo1, the question answered in the real message box, the window reloaded
// once with the new bank; and 关闭 or Escape while it works stop it.
// ctest-timeout: 300

#include "HttpTestServer.h"
#include "MainWindowFixture.h"
#include "ModalDriver.h"
#include "UpdateFixture.h"
#include "maintenance/Update.h"
#include "maintenance/UpdateJob.h"
#include "maintenance/ui/FrmUpdate.h"
#include "app/ui/WidgetDialogs.h"
#include "app/AppEvents.h"
#include "app/PaperState.h"
#include "store/PendingRestore.h"
#include "store/SystemParameters.h"

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TstUpdateDialog : public QObject {
  Q_OBJECT

private slots:
  void updateThroughTheWindow() {
    MainWindowFixture fixture([](const QString &root) {
      QFile::copy(TestEnv::stagedDir() + QStringLiteral("/libunrar.so"), root + QStringLiteral("libunrar.so"));
    });
    QVERIFY(fixture.showActive());
    TFrmMain &win = *fixture.window;
    HttpTestServer server;
    UpdateFixture::serveNewer(server, UpdateFixture::newerBankFile());
    UpdateUrl = server.url(QStringLiteral("/update/"));
    WidgetDialogs real;
    setDialogs(&real);
    QSignalSpy shown(&win.events(), &AppEvents::paperShown);

    // The driver answers the question box; the step presses "关闭" once the
    // last line shows (the dialog stays until then) and records what the
    // learner saw.
    QStringList memo;
    bool closePressed = false, status = false, hooked = false;
    int result = 0;
    ModalDriver driver(90000);
    driver.until<TFrmUpdate>([&](TFrmUpdate &form) {
      if (!hooked) {
        hooked = true;
        connect(&form, &QDialog::finished, [&, f = &form](int r) {
          result = r;
          memo = f->Memo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
          status = f->updateStatus;
        });
      }
      memo = form.Memo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
      if (form.job().running() || !memo.contains(UpdateText::Done))
        return false;
      QMetaObject::invokeMethod(
          form.BitBtn1,
          [&, f = &form] {
            f->BitBtn1->click();
            closePressed = true;
          },
          Qt::QueuedConnection);
      return true;
    });
    QAction *command = win.command(QStringLiteral("ActUpdate"));
    QVERIFY(command->isEnabled());
    command->trigger();
    setDialogs(&fixture.dialogs);
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    QStringList boxes, boxCaptions;
    for (const ModalDriver::Box &box : driver.recorded()) {
      boxes << box.text;
      boxCaptions << box.caption;
    }

    QCOMPARE(result, TFrmUpdate::CloseResult);
    QVERIFY(status);
    QVERIFY(closePressed);
    QCOMPARE(memo, (QStringList{UpdateText::Analysing, UpdateText::Offered, UpdateText::Downloading,
                                UpdateText::UnpackBank, UpdateText::BankUnpacked, UpdateText::UnpackPictures,
                                UpdateText::PicturesUnpacked, UpdateText::UnpackOutline, UpdateText::OutlineUnpacked,
                                UpdateText::Finishing, UpdateText::Done}));
    QCOMPARE(boxes, QStringList{UpdateText::Question});
    QCOMPARE(boxCaptions, QStringList{UpdateText::QuestionCaption});
    // The window took the new bank: title, tree and one new paper.
    QCOMPARE(SoftTitle, QStringLiteral("新题库 2026"));
    QCOMPARE(win.windowTitle(), QStringLiteral("新题库 2026"));
    QCOMPARE(BankVersion, QStringLiteral("2026.02"));
    QCOMPARE(shown.count(), 1);
    QVERIFY(win.dataModule()->ADOConnection1.Connected());
    QCOMPARE(fixture.paperState().kind, PaperKinds::Chapter);
  }

  // The picture archive trickles one byte every 20 s. 关闭 or Escape, once
  // it is being fetched: the dialog closes at once with the line that says
  // the learner stopped it; the old bank byte for byte, open, with its
  // title; no staging folder; the window does nothing.
  void closingStopsTheUpdate_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("关闭") << false;
    QTest::newRow("Escape") << true;
  }
  void closingStopsTheUpdate() {
    QFETCH(bool, escape);
    MainWindowFixture fixture([](const QString &root) {
      QFile::copy(TestEnv::stagedDir() + QStringLiteral("/libunrar.so"), root + QStringLiteral("libunrar.so"));
    });
    QVERIFY(fixture.showActive());
    TFrmMain &win = *fixture.window;
    HttpTestServer server;
    UpdateFixture::serveNewer(server, UpdateFixture::newerBankFile());
    HttpTestServer::Route trickle = server.routes.value("/update/images.rar");
    trickle.mode = HttpTestServer::Mode::Trickle;
    trickle.intervalMs = 20000;
    server.route("/update/images.rar", trickle);
    UpdateUrl = server.url(QStringLiteral("/update/"));
    fixture.dialogs.defaultAnswer = true;
    const QString root = fixture.dir.root();
    const QByteArray bank = [&] {
      QFile f(root + QStringLiteral("QBRX.db"));
      return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const QString title = win.windowTitle();
    QSignalSpy shown(&win.events(), &AppEvents::paperShown);
    QStringList memo;
    bool status = true, fetching = false, closed = false;
    fixture.dialogs.modalHandler = [&](QDialog &d) {
      auto &form = static_cast<TFrmUpdate &>(d);
      form.show();
      // The trickle is under way: the bank archive is in staging.
      fetching = QTest::qWaitFor(
          [&] { return server.paths().contains(QStringLiteral("/update/images.rar")) && form.job().running(); },
          30000);
      if (!fetching)
        return 0;
      if (escape)
        QTest::keyClick(&form, Qt::Key_Escape);
      else
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
      // Nothing but the learner ends it this soon: the server would take
      // hours, the transfer's windows are 30 s.
      closed = QTest::qWaitFor([&] { return !form.isVisible(); }, 10000);
      memo = form.Memo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
      status = form.updateStatus;
      return form.result();
    };
    win.command(QStringLiteral("ActUpdate"))->trigger();
    QCOMPARE(fixture.dialogs.modalForms, QStringList{QStringLiteral("TFrmUpdate")});
    QVERIFY(fetching);
    QVERIFY(closed);
    QVERIFY(!status);
    QVERIFY(!memo.isEmpty());
    QCOMPARE(memo.last(), UpdateText::Cancelled);
    QVERIFY(memo.contains(UpdateText::BankUnpacked));
    QVERIFY(!QFileInfo::exists(UpdateStagingPath(root)));
    QCOMPARE(shown.count(), 0);
    QCOMPARE(win.windowTitle(), title);
    QCOMPARE(BankVersion, QStringLiteral("2026.01"));
    QVERIFY(win.dataModule()->ADOConnection1.Connected());
    QFile f(root + QStringLiteral("QBRX.db"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll() == bank);
  }
};

QBRX_TEST_MAIN(TstUpdateDialog)
#include "tst_updatedialog.moc"
