#include "gui/button_label.h"

#include <QMouseEvent>

namespace rootix::gui {
namespace {

const QColor kNormal(64, 64, 64);
const QColor kHighlight(64, 128, 192);

}  // namespace

ButtonLabel::ButtonLabel(int index, QWidget* parent) : QLabel(parent), index_(index) {
  setMouseTracking(true);
  setCursor(Qt::PointingHandCursor);
  setHighlighted(false);
}

void ButtonLabel::setHighlighted(bool on) {
  if (on == highlighted_) return;
  highlighted_ = on;
  QPalette p = palette();
  p.setColor(QPalette::WindowText, on ? kHighlight : kNormal);
  setPalette(p);
}

void ButtonLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressed_ = true;
}

void ButtonLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  if (click) Q_EMIT clicked(index_);
}

void ButtonLabel::mouseMoveEvent(QMouseEvent*) { Q_EMIT hovered(index_); }

}  // namespace rootix::gui
