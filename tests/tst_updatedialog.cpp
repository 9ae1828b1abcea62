// "在线升级" as the learner meets it: the command of the main window, the
// production dialogs and a real modal exec(), the lines read from the live
// Memo1, the question answered in the real message box, the window reloaded
// once with the new bank.
// ctest-timeout: 300

#include "HttpTestServer.h"
#include "MainWindowFixture.h"
#include "UpdateFixture.h"
#include "maintenance/Update.h"
#include "maintenance/UpdateJob.h"
#include "maintenance/ui/FrmUpdate.h"
#include "mainwin/ui/WidgetDialogs.h"
#include "render/AppEvents.h"
#include "render/Global.h"
#include "store/SystemParameters.h"

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
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

    // The driver answers the question box, presses "关闭" as soon as the
    // first line shows (the dialog waits for the work) and records what the
    // learner saw.
    QStringList boxes, boxCaptions, memo;
    bool clickQueued = false, closePressed = false, status = false, stayedOpen = false, hooked = false;
    int result = 0;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, [&] {
      QWidget *modal = QApplication::activeModalWidget();
      if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        if (!boxes.isEmpty() && boxes.size() > memo.count(UpdateText::Offered))
          return;
        boxes << box->text();
        boxCaptions << box->windowTitle();
        QMetaObject::invokeMethod(box->button(QMessageBox::Yes), &QPushButton::click, Qt::QueuedConnection);
      } else if (auto *form = qobject_cast<TFrmUpdate *>(modal)) {
        if (!hooked) {
          hooked = true;
          connect(form, &QDialog::finished, [&, form](int r) {
            result = r;
            memo = form->Memo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            status = form->updateStatus;
          });
          // A line of the work arriving after 关闭 was pressed, with the
          // dialog still up: it waited (however fast the work is).
          connect(&form->job(), &UpdateJob::line, form, [&, form] {
            stayedOpen = stayedOpen || (closePressed && form->isVisible());
          });
        }
        memo = form->Memo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (!clickQueued && !memo.isEmpty()) {
          clickQueued = true;
          QMetaObject::invokeMethod(
              form->BitBtn1,
              [&, form] {
                form->BitBtn1->click();
                closePressed = true;
              },
              Qt::QueuedConnection);
        }
      }
    });
    poll.start();
    QAction *command = win.command(QStringLiteral("ActUpdate"));
    QVERIFY(command->isEnabled());
    command->trigger();
    poll.stop();
    setDialogs(&fixture.dialogs);

    QCOMPARE(result, TFrmUpdate::CloseResult);
    QVERIFY(status);
    QVERIFY(closePressed);
    QVERIFY(stayedOpen);
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
    QCOMPARE(PaperKind, PaperKinds::Chapter);
  }

  // The picture archive stalls: Escape waits for the work, the failure line, the old bank
  // open with its title, and the window does nothing.
  void failedUpdateLeavesTheWindow() {
    MainWindowFixture fixture([](const QString &root) {
      QFile::copy(TestEnv::stagedDir() + QStringLiteral("/libunrar.so"), root + QStringLiteral("libunrar.so"));
    });
    QVERIFY(fixture.showActive());
    TFrmMain &win = *fixture.window;
    HttpTestServer server;
    UpdateFixture::serveNewer(server, UpdateFixture::newerBankFile());
    HttpTestServer::Route stall = server.routes.value("/update/images.rar");
    stall.mode = HttpTestServer::Mode::Stall;
    stall.sendBytes = 0;
    server.route("/update/images.rar", stall);
    UpdateUrl = server.url(QStringLiteral("/update/"));
    fixture.dialogs.defaultAnswer = true;
    const QString title = win.windowTitle();
    QSignalSpy shown(&win.events(), &AppEvents::paperShown);
    QStringList memo;
    bool status = true, escapeWaited = false, closedByItself = false;
    fixture.dialogs.modalHandler = [&](QDialog &d) {
      auto &form = static_cast<TFrmUpdate &>(d);
      QSignalSpy ended(&form.job(), &UpdateJob::ended);
      form.job().noDataTimeoutMs = 1500; // (before the one-second start)
      form.show();
      // Escape while the work runs: the dialog stays until it has ended,
      // then closes by itself with the result of "关闭".
      if (!QTest::qWaitFor([&] { return form.job().running(); }, 10000))
        return 0;
      QTest::keyClick(&form, Qt::Key_Escape);
      escapeWaited = form.isVisible();
      if (ended.isEmpty() && !ended.wait(60000))
        return 0;
      closedByItself = !form.isVisible() && form.result() == TFrmUpdate::CloseResult;
      memo = form.Memo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
      status = form.updateStatus;
      return TFrmUpdate::CloseResult;
    };
    win.command(QStringLiteral("ActUpdate"))->trigger();
    QCOMPARE(fixture.dialogs.modalForms, QStringList{QStringLiteral("TFrmUpdate")});
    QVERIFY(escapeWaited);
    QVERIFY(closedByItself);
    QVERIFY(!status);
    QVERIFY(!memo.isEmpty());
    QVERIFY2(memo.last().startsWith(UpdateText::Failed) && memo.last().contains(QStringLiteral("images.rar")),
             qPrintable(memo.last()));
    QCOMPARE(shown.count(), 0);
    QCOMPARE(win.windowTitle(), title);
    QCOMPARE(BankVersion, QStringLiteral("2026.01"));
    QVERIFY(win.dataModule()->ADOConnection1.Connected());
  }
};

QBRX_TEST_MAIN(TstUpdateDialog)
#include "tst_updatedialog.moc"
