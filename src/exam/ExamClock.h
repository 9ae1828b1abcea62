#pragma once
// The time limit of a mock exam on display: the time left, read from a clock
// that tests can set, as the paper toolbar shows it.

#include <QString>
#include <QtGlobal>
#include <functional>

class ExamClock {
public:
  // Milliseconds of a clock that only goes forward.
  using Now = std::function<qint64()>;
  static Now steadyClock();

  static constexpr qint64 kWarningMs = 5 * 60 * 1000; // red from here

  // A limit of `minutes` from now.
  ExamClock(int minutes, Now now = steadyClock());

  qint64 remainingMs() const;
  bool expired() const { return remainingMs() == 0; }
  // In the last five minutes.
  bool warning() const { return remainingMs() <= kWarningMs; }
  // The time left as mm:ss, rounded up to whole seconds: a clock that shows
  // 00:00 has run out. Minutes may go past 59 ("120:00").
  QString text() const;
  static QString text(qint64 remainingMs);

private:
  Now m_now;
  qint64 m_deadline = 0;
};
