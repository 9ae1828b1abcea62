#include "mainwin/ui/PictureButton.h"

#include <QGraphicsOpacityEffect>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

PictureButton::PictureButton(QWidget *parent) : QLabel(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::TabFocus);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setCursor(Qt::PointingHandCursor);
}

void PictureButton::mouseMoveEvent(QMouseEvent *e) {
  emit mouseMoved();
  QLabel::mouseMoveEvent(e);
}

void PictureButton::leaveEvent(QEvent *e) {
  emit mouseLeft();
  QLabel::leaveEvent(e);
}

void PictureButton::mousePressEvent(QMouseEvent *e) {
  emit mousePressed(e->button());
  e->accept();
}

void PictureButton::mouseReleaseEvent(QMouseEvent *e) {
  emit mouseReleased(e->button());
  e->accept();
}

void PictureButton::keyPressEvent(QKeyEvent *e) {
  if (!e->isAutoRepeat() && (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return ||
                             e->key() == Qt::Key_Enter)) {
    emit mousePressed(Qt::LeftButton);
    emit mouseReleased(Qt::LeftButton);
    e->accept();
    return;
  }
  QLabel::keyPressEvent(e);
}

void PictureButton::setBadge(const QString &badge) {
  if (badge == m_badge)
    return;
  m_badge = badge;
  update();
}

void PictureButton::paintEvent(QPaintEvent *e) {
  QLabel::paintEvent(e);
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  if (!m_badge.isEmpty()) {
    QFont f = font();
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    const int h = 16;
    const int w = std::max(h, QFontMetrics(f).horizontalAdvance(m_badge) + 8);
    const QRectF r(width() - w - 3, 3, w, h);
    p.setPen(QPen(QColor(255, 255, 255), 1.2));
    p.setBrush(QColor(214, 48, 49));
    p.drawRoundedRect(r, h / 2.0, h / 2.0);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, m_badge);
  }
  if (!hasFocus())
    return;
  QPen pen(QColor(255, 255, 255, 220), 1, Qt::DashLine);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 6, 6);
}

void PictureButton::focusInEvent(QFocusEvent *e) {
  QLabel::focusInEvent(e);
  update();
}

void PictureButton::focusOutEvent(QFocusEvent *e) {
  QLabel::focusOutEvent(e);
  update();
}

void PictureButton::changeEvent(QEvent *e) {
  QLabel::changeEvent(e);
  if (e->type() != QEvent::EnabledChange)
    return;
  if (isEnabled()) {
    setGraphicsEffect(nullptr);
  } else if (!graphicsEffect()) {
    auto *fade = new QGraphicsOpacityEffect(this);
    fade->setOpacity(0.4);
    setGraphicsEffect(fade);
  }
}
