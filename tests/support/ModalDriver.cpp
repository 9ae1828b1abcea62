#include "ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>

namespace {
// Marks a box the driver has recorded: it may stay on top for a look or two
// while it closes.
const char *const kSeen = "modalDriverSeen";
constexpr int kLookMs = 10;
} // namespace

ModalDriver::ModalDriver(int timeoutMs) : m_timeoutMs(timeoutMs) {
  m_sinceProgress.start();
  qApp->installEventFilter(this);
  scheduleLook(kLookMs);
}

ModalDriver::~ModalDriver() { qApp->removeEventFilter(this); }

// The steady looks: each arms the next first, so looks go on inside any
// nested event loop an action starts.
void ModalDriver::scheduleLook(int ms) {
  QTimer::singleShot(ms, this, [this] {
    scheduleLook(kLookMs);
    look();
  });
}

bool ModalDriver::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::Show && !m_lookQueued && watched->isWidgetType() &&
      static_cast<QWidget *>(watched)->isWindow()) {
    m_lookQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          m_lookQueued = false;
          look();
        },
        Qt::QueuedConnection);
  }
  return false;
}

void ModalDriver::look() {
  if (!m_settled)
    return;
  QWidget *top = QApplication::activeModalWidget();
  if (top != m_lastTop) {
    m_lastTop = top;
    m_sinceProgress.restart();
    if (top)
      m_windowsSeen << QString::fromLatin1(top->metaObject()->className());
  }
  if (!top)
    return;
  if (!m_failure.isEmpty()) {
    rejectTop(top);
    return;
  }
  const Step *step = m_next < m_steps.size() ? &m_steps[m_next] : nullptr;

  if (auto *box = qobject_cast<QMessageBox *>(top)) {
    if (!box->property(kSeen).toBool()) {
      box->setProperty(kSeen, true);
      m_boxes.append({box->windowTitle(), box->text(), box->icon()});
      m_sinceProgress.restart();
      if (step && step->box && !m_inStep && step->matches(box)) {
        ++m_next; // first: the act may answer the box at once
        m_inStep = true;
        step->act(box);
        m_inStep = false;
        settle();
      } else {
        answer(box);
      }
      return;
    }
  } else if (!m_inStep && step && !step->box && step->matches(top)) {
    m_inStep = true;
    const bool finished = step->act(top);
    m_inStep = false;
    if (finished) {
      ++m_next;
      m_sinceProgress.restart();
      settle();
      return;
    }
  }
  if (m_sinceProgress.elapsed() > m_timeoutMs) {
    fail(QStringLiteral("%1 stayed the modal window for %2 ms while %3")
             .arg(QString::fromLatin1(top->metaObject()->className()))
             .arg(m_timeoutMs)
             .arg(step ? QStringLiteral("step %1 (%2) waited").arg(m_next + 1).arg(step->name)
                       : QStringLiteral("no step was left for it")));
    rejectTop(top);
  }
}

// The next step waits until what this one queued has been delivered (posted
// events go in order), so it sees the window after the step's actions.
void ModalDriver::settle() {
  m_settled = false;
  QMetaObject::invokeMethod(this, [this] { m_settled = true; }, Qt::QueuedConnection);
}

void ModalDriver::answer(QMessageBox *box) {
  QAbstractButton *button = nullptr;
  if (!m_answers.isEmpty()) {
    const QMessageBox::StandardButton wanted = m_answers.takeFirst();
    button = box->button(wanted);
    if (!button) {
      fail(QStringLiteral("the box \"%1\" has no button %2").arg(box->text()).arg(int(wanted)));
      rejectTop(box);
      return;
    }
  } else if (!(button = box->button(QMessageBox::Yes))) {
    button = box->button(QMessageBox::Ok);
  }
  if (button)
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
  else
    QMetaObject::invokeMethod(box, &QDialog::accept, Qt::QueuedConnection);
}

void ModalDriver::fail(const QString &why) {
  if (!m_failure.isEmpty())
    return;
  m_failure = why;
  qWarning("ModalDriver: %s", qPrintable(why));
}

void ModalDriver::rejectTop(QWidget *top) {
  if (auto *dialog = qobject_cast<QDialog *>(top))
    QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
  else
    QMetaObject::invokeMethod(top, &QWidget::close, Qt::QueuedConnection);
}

QStringList ModalDriver::boxTexts() const {
  QStringList out;
  for (const Box &b : m_boxes)
    out << b.text;
  return out;
}

QStringList ModalDriver::boxCaptionsAndTexts() const {
  QStringList out;
  for (const Box &b : m_boxes)
    out << b.caption + QLatin1Char(':') + b.text;
  return out;
}

QString ModalDriver::failure() const {
  if (!m_failure.isEmpty())
    return m_failure;
  if (m_next < m_steps.size())
    return QStringLiteral("step %1 of %2 (%3) never ran; modal windows seen: %4")
        .arg(m_next + 1)
        .arg(m_steps.size())
        .arg(m_steps[m_next].name, m_windowsSeen.isEmpty() ? QStringLiteral("none") : m_windowsSeen.join(QStringLiteral(", ")));
  return {};
}
