#include "gui/button_label.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace rootix::gui {
namespace {

const QColor kNormal(64, 64, 64);
const QColor kHighlight(64, 128, 192);

}  // namespace

ButtonLabel::ButtonLabel(QWidget* parent) : QAbstractButton(parent) {
  setMouseTracking(true);
  setCursor(Qt::PointingHandCursor);
  // Tab reaches it; a click leaves the focus where it was (a path box).
  setFocusPolicy(Qt::TabFocus);
  setHighlighted(false);
}

void ButtonLabel::setHighlighted(bool on) {
  if (on == highlighted_) return;
  highlighted_ = on;
  QPalette p = palette();
  p.setColor(QPalette::WindowText, on ? kHighlight : kNormal);
  setPalette(p);
}

QSize ButtonLabel::sizeHint() const { return fontMetrics().size(Qt::TextSingleLine, text()); }

void ButtonLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // As a label draws it: left, centred vertically.
  const int align = Qt::AlignLeft | Qt::AlignVCenter;
  style()->drawItemText(&painter, rect(), align, palette(), isEnabled(), text(), QPalette::WindowText);
  if (showsFocus(this)) {
    drawFocusFrame(painter, style()->itemTextRect(fontMetrics(), rect(), align, isEnabled(), text()), rect());
  }
}

void ButtonLabel::mouseMoveEvent(QMouseEvent* event) {
  Q_EMIT hovered();
  QAbstractButton::mouseMoveEvent(event);
  // Taken here: the window behind would take the highlight away again.
  event->accept();
}

bool showsFocus(const QWidget* control) {
  return control->hasFocus() && control->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void drawFocusFrame(QPainter& painter, const QRect& around, const QRect& bounds) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(kHighlight, 1, Qt::DotLine));
  painter.setBrush(Qt::NoBrush);
  // One pixel outside the content, never outside the control.
  painter.drawRect(around.adjusted(-1, -1, 0, 0).intersected(bounds.adjusted(0, 0, -1, -1)));
  painter.restore();
}

}  // namespace rootix::gui
