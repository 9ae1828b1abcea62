#include "mainwin/ui/PictureButton.h"

#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

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

void PictureButton::paintEvent(QPaintEvent *e) {
  QLabel::paintEvent(e);
  if (!hasFocus())
    return;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
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
