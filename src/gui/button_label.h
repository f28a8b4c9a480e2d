#pragma once

#include <QAbstractButton>

class QPainter;

namespace rootix::gui {

// The caption of a window button. A real button underneath, so the keyboard
// reaches it (Tab, Space) and screen readers see a push button named by its
// caption; drawn as the plain caption it has always been.
class ButtonLabel : public QAbstractButton {
  Q_OBJECT

 public:
  explicit ButtonLabel(QWidget* parent);

  // Normal or highlighted caption colour.
  void setHighlighted(bool on);
  bool highlighted() const { return highlighted_; }

  QSize sizeHint() const override;

 Q_SIGNALS:
  // The pointer rests on the caption.
  void hovered();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  bool highlighted_ = true;  // so the first setHighlighted(false) paints
};

// Whether control draws its focus: only while the keyboard moves it, so a
// click leaves the window looking as it always has.
bool showsFocus(const QWidget* control);
// Keyboard focus drawn as a dotted frame in the highlight colour, the one
// mark of focus every control of the window uses.
// around is the drawn content, bounds the control's own rectangle.
void drawFocusFrame(QPainter& painter, const QRect& around, const QRect& bounds);

}  // namespace rootix::gui
