#include "exam/ExamClock.h"

#include <QElapsedTimer>
#include <algorithm>

ExamClock::Now ExamClock::steadyClock() {
  return [] {
    QElapsedTimer t;
    t.start();
    return t.msecsSinceReference();
  };
}

ExamClock::ExamClock(int minutes, Now now) : m_now(std::move(now)) {
  m_deadline = m_now() + qint64(std::max(0, minutes)) * 60 * 1000;
}

qint64 ExamClock::remainingMs() const { return std::max<qint64>(0, m_deadline - m_now()); }

QString ExamClock::text() const { return text(remainingMs()); }

QString ExamClock::text(qint64 remainingMs) {
  const qint64 seconds = (std::max<qint64>(0, remainingMs) + 999) / 1000;
  return QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
