#pragma once
// Drives the program's modal windows while a real exec() runs, with one
// policy for every test:
//
// - Every message box is recorded once (caption, text, icon) and answered:
//   with the next button given to answerNextBox(), else Yes where the box
//   has one, else OK, else it is accepted.
// - Any other modal window goes to the steps, in order: onModal<Form>(act)
//   runs `act` once when a Form is the top modal window; until<Form>(act)
//   runs `act` on every look while a Form is on top, until it returns true
//   (for waiting on what the window shows). A step of QMessageBox takes the
//   box over: recorded, not answered; a step of any other type (QDialog
//   too) never gets a box. A step runs only after what the step
//   before it queued has been delivered.
// - The driver looks when a window is shown and every few milliseconds. An
//   action that opens another window must queue its click
//   (QMetaObject::invokeMethod(button, &QAbstractButton::click,
//   Qt::QueuedConnection)): while a step runs, only boxes are answered.
// - Bounded: when no step has moved for `timeoutMs` while a modal window is
//   up, or a step waits on its window, the driver notes the failure and
//   rejects every modal window, so the exec() returns. A step whose window
//   never appeared is a failure too. Check with
//   QVERIFY2(driver.done(), qPrintable(driver.failure())).
//
// It lives across the exec(): construct it before the command runs.

#include <QElapsedTimer>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <type_traits>

class ModalDriver : public QObject {
  Q_OBJECT
public:
  struct Box {
    QString caption;
    QString text;
    QMessageBox::Icon icon;
  };

  explicit ModalDriver(int timeoutMs = 60000);
  ~ModalDriver() override;

  // Steps, in the order the windows come. `act` takes a Form&; for until()
  // it returns whether the step is done.
  template <class Form, class Act> ModalDriver &onModal(Act act) {
    addStep(Form::staticMetaObject.className(), std::is_base_of_v<QMessageBox, Form>, matcher<Form>(),
            [act](QWidget *w) {
              act(*static_cast<Form *>(w));
              return true;
            });
    return *this;
  }
  template <class Form, class Act> ModalDriver &until(Act act) {
    addStep(Form::staticMetaObject.className(), std::is_base_of_v<QMessageBox, Form>, matcher<Form>(),
            [act](QWidget *w) { return bool(act(*static_cast<Form *>(w))); });
    return *this;
  }

  // The answer to the next box not yet answered (boxes in the order they
  // come).
  void answerNextBox(QMessageBox::StandardButton button) { m_answers.append(button); }

  const QList<Box> &recorded() const { return m_boxes; }
  QStringList boxTexts() const;
  // "caption:text" of each box.
  QStringList boxCaptionsAndTexts() const;
  // Steps done so far.
  int stepsDone() const { return m_next; }
  // Every step ran and nothing failed.
  bool done() const { return m_failure.isEmpty() && m_next == m_steps.size(); }
  // What went wrong (empty when done()).
  QString failure() const;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  struct Step {
    QString name;
    bool box; // a step of QMessageBox: only boxes go to it
    std::function<bool(QWidget *)> matches;
    std::function<bool(QWidget *)> act;
  };
  template <class Form> static std::function<bool(QWidget *)> matcher() {
    return [](QWidget *w) { return qobject_cast<Form *>(w) != nullptr; };
  }
  void addStep(const QString &name, bool box, std::function<bool(QWidget *)> matches,
               std::function<bool(QWidget *)> act) {
    m_steps.append({name, box, std::move(matches), std::move(act)});
  }
  void look();
  void scheduleLook(int ms);
  void answer(QMessageBox *box);
  void settle();
  void fail(const QString &why);
  void rejectTop(QWidget *top);

  QList<Step> m_steps;
  int m_next = 0;
  QList<QMessageBox::StandardButton> m_answers;
  QList<Box> m_boxes;
  QStringList m_windowsSeen;
  QString m_failure;
  QElapsedTimer m_sinceProgress;
  QPointer<QWidget> m_lastTop;
  int m_timeoutMs;
  bool m_inStep = false;
  bool m_lookQueued = false;
  bool m_settled = true;
};
