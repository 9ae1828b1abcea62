// test-links: widgets
// The test harness's driver of modal windows: the production dialogs' boxes
// recorded and answered by one policy, steps in order, and a bounded wait
// that fails clearly and leaves no window behind.

#include "ModalDriver.h"
#include "TestEnv.h"
#include "app/ui/WidgetDialogs.h"

#include <QDialog>
#include <QPushButton>
#include <QtTest>

class TstModalDriver : public QObject {
  Q_OBJECT

private slots:
  // Questions get Yes unless an answer is queued; messages get OK; every
  // box is recorded once with caption, text and icon.
  void boxesAnsweredAndRecorded() {
    WidgetDialogs real;
    ModalDriver driver;
    driver.answerNextBox(QMessageBox::No);
    QVERIFY(!real.question(QStringLiteral("一？"), QStringLiteral("问一")));
    QVERIFY(real.question(QStringLiteral("二？"), QStringLiteral("问二")));
    real.message(QStringLiteral("完成"), QStringLiteral("提示"), Dialogs::Icon::Warning);
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    QCOMPARE(driver.boxCaptionsAndTexts(),
             (QStringList{QStringLiteral("问一:一？"), QStringLiteral("问二:二？"), QStringLiteral("提示:完成")}));
    QCOMPARE(driver.recorded()[0].icon, QMessageBox::Question);
    QCOMPARE(driver.recorded()[2].icon, QMessageBox::Warning);
  }

  // Steps run in order, each on its own window; until() waits for what the
  // window shows; a box on top of the form is answered meanwhile.
  void stepsInOrder() {
    WidgetDialogs real;
    QDialog form;
    auto *ask = new QPushButton(QStringLiteral("问"), &form);
    bool asked = false;
    connect(ask, &QPushButton::clicked, &form, [&] { asked = real.question(QStringLiteral("继续？"), QString()); });
    QStringList order;
    ModalDriver driver;
    driver.onModal<QDialog>([&](QDialog &) {
      order << QStringLiteral("first");
      QMetaObject::invokeMethod(ask, &QAbstractButton::click, Qt::QueuedConnection);
    });
    driver.until<QDialog>([&](QDialog &d) {
      if (!asked)
        return false;
      order << QStringLiteral("after the box");
      QMetaObject::invokeMethod(&d, &QDialog::accept, Qt::QueuedConnection);
      return true;
    });
    QCOMPARE(real.execModal(form), int(QDialog::Accepted));
    QVERIFY2(driver.done(), qPrintable(driver.failure()));
    QCOMPARE(order, (QStringList{QStringLiteral("first"), QStringLiteral("after the box")}));
    QCOMPARE(driver.boxTexts(), QStringList{QStringLiteral("继续？")});
  }

  // A window that never comes, a wait that never ends and a queued answer
  // the box cannot give: each is a failure that names it, and the exec()
  // returns.
  void boundedFailures() {
    {
      ModalDriver driver;
      driver.onModal<QDialog>([](QDialog &) {});
      QVERIFY(!driver.done());
      QVERIFY2(driver.failure().contains(QStringLiteral("step 1 of 1 (QDialog) never ran")),
               qPrintable(driver.failure()));
    }
    {
      QDialog stuck;
      ModalDriver driver(300);
      driver.until<QDialog>([](QDialog &) { return false; });
      QCOMPARE(stuck.exec(), int(QDialog::Rejected));
      QVERIFY(!driver.done());
      QVERIFY2(driver.failure().contains(QStringLiteral("step 1 (QDialog) waited")), qPrintable(driver.failure()));
    }
    {
      WidgetDialogs real;
      ModalDriver driver;
      driver.answerNextBox(QMessageBox::Retry);
      real.message(QStringLiteral("好"), QString(), Dialogs::Icon::Information);
      QVERIFY(!driver.done());
      QVERIFY2(driver.failure().contains(QStringLiteral("has no button")), qPrintable(driver.failure()));
    }
    QVERIFY(!QApplication::activeModalWidget());
  }
};

QBRX_TEST_MAIN(TstModalDriver)
#include "tst_modaldriver.moc"
