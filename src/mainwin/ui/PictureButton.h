#pragma once
// A picture control that reports the mouse: moves over it, leaving it, a
// button going down and up. It can take keyboard focus: Space or Enter acts
// as a press and release of the left button, and a focus frame is drawn.

#include <QLabel>

class PictureButton : public QLabel {
  Q_OBJECT
public:
  explicit PictureButton(QWidget *parent = nullptr);

  int Tag = 0;
  // A small count drawn at the top right corner (empty: none).
  void setBadge(const QString &badge);
  QString badge() const { return m_badge; }

signals:
  void mouseMoved();
  void mouseLeft();
  void mousePressed(Qt::MouseButton button);
  void mouseReleased(Qt::MouseButton button);

protected:
  void mouseMoveEvent(QMouseEvent *e) override;
  void leaveEvent(QEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;
  void paintEvent(QPaintEvent *e) override;
  void focusInEvent(QFocusEvent *e) override;
  void focusOutEvent(QFocusEvent *e) override;
  // A disabled button is drawn faded, whatever its colours (white line
  // pictures on the blue strip do not grey by themselves).
  void changeEvent(QEvent *e) override;

private:
  QString m_badge;
};
