#pragma once
// The time left of a timed mock exam, in the paper toolbar: "剩余 mm:ss",
// red in the last five minutes. At zero it says "时间到" (its text and a
// message) and then submits the paper by triggering
// the submit command, as the learner's click would (grading, the report, the
// storage question); while another dialog is open it waits for that to close.
// It stops and goes away when the paper is submitted (by the learner or by
// itself) and when another paper is put on display.

#include "exam/ExamClock.h"

#include <QLabel>
#include <QPointer>

class AppEvents;
class QAction;
class QTimer;

class ExamClockWidget : public QLabel {
  Q_OBJECT
public:
  ExamClockWidget(int minutes, QAction *submit, AppEvents &events, QWidget *parent,
                  ExamClock::Now now = ExamClock::steadyClock());

  // Puts a clock of `minutes` in `slot` (its layout); none when minutes is 0.
  static ExamClockWidget *start(int minutes, QAction *submit, AppEvents &events, QWidget *slot,
                                ExamClock::Now now = ExamClock::steadyClock());

  const ExamClock &clock() const { return m_clock; }
  bool running() const;
  // What the timer does every quarter second: the text, and the submission
  // once the time is up.
  void tick();

signals:
  // The time ran out and the paper is being submitted.
  void expired();

private:
  void stop();
  void finish();

  ExamClock m_clock;
  QPointer<QAction> m_submit;
  QTimer *m_timer = nullptr;
  bool m_warning = false;
};
