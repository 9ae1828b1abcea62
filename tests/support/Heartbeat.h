#pragma once
// How long the event loop goes without serving a timer: a 5 ms timer that
// notes the longest gap between two of its ticks (a stall the learner would
// see as a frozen window).

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

class Heartbeat {
public:
  Heartbeat() {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      const qint64 now = m_clock.elapsed();
      m_longest = std::max(m_longest, now - m_last);
      m_last = now;
    });
  }
  void start() {
    m_longest = 0;
    m_last = 0;
    m_clock.start();
    m_timer.start();
  }
  // The longest gap so far, in milliseconds (the time since the last tick
  // counts too).
  qint64 stop() {
    m_timer.stop();
    m_longest = std::max(m_longest, m_clock.elapsed() - m_last);
    return m_longest;
  }

private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_last = 0, m_longest = 0;
};
