#include "exam/ui/ExamClockWidget.h"
#include "app/AppEvents.h"
#include "common/Dialogs.h"
#include "exam/MockExamSetup.h"

#include <QAction>
#include <QApplication>
#include <QLayout>
#include <QTimer>

ExamClockWidget::ExamClockWidget(int minutes, QAction *submit, AppEvents &events, QWidget *parent,
                                 ExamClock::Now now)
    : QLabel(parent), m_clock(minutes, std::move(now)), m_submit(submit) {
  setObjectName(QStringLiteral("ExamClock"));
  setToolTip(QStringLiteral("模拟考场剩余时间，到时自动交卷"));
  setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  m_timer = new QTimer(this);
  m_timer->setInterval(250);
  connect(m_timer, &QTimer::timeout, this, &ExamClockWidget::tick);
  // Another paper on display, or this one submitted: the clock is over.
  connect(&events, &AppEvents::paperShown, this, &ExamClockWidget::stop);
  if (submit)
    connect(submit, &QAction::triggered, this, &ExamClockWidget::stop);
  m_timer->start();
  tick();
}

ExamClockWidget *ExamClockWidget::start(int minutes, QAction *submit, AppEvents &events, QWidget *slot,
                                        ExamClock::Now now) {
  if (minutes <= 0)
    return nullptr;
  auto *clock = new ExamClockWidget(minutes, submit, events, slot, std::move(now));
  if (slot && slot->layout())
    slot->layout()->addWidget(clock);
  clock->show();
  return clock;
}

bool ExamClockWidget::running() const { return m_timer->isActive(); }

void ExamClockWidget::tick() {
  if (!running())
    return;
  const QString shown = QStringLiteral("剩余 ") + m_clock.text();
  if (text() != shown)
    setText(shown);
  if (m_clock.warning() != m_warning) {
    m_warning = m_clock.warning();
    setStyleSheet(m_warning ? QStringLiteral("color: red;") : QString());
  }
  // Time is up: once no dialog stands in front of the paper, the clock says
  // so, then the paper is submitted.
  if (!m_clock.expired() || QApplication::activeModalWidget())
    return;
  m_timer->stop();
  setText(MockExamText::TimeUpCaption);
  emit expired();
  dialogs().information(MockExamText::TimeUp, MockExamText::TimeUpCaption);
  if (m_submit)
    m_submit->trigger();
  finish();
}

void ExamClockWidget::stop() {
  if (!running())
    return;
  m_timer->stop();
  finish();
}

void ExamClockWidget::finish() {
  hide();
  deleteLater();
}
