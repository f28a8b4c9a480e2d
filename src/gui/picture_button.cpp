#include "gui/picture_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>

#include "gui/button_label.h"
#include "gui/picture.h"

namespace rootix::gui {

PictureButton::PictureButton(const QString& resource, const QString& name, QWidget* parent)
    : QAbstractButton(parent), renderer_(sharedRenderer(resource)), resource_(resource) {
  setAccessibleName(name);
  setCursor(Qt::PointingHandCursor);
  // Tab reaches it; a click leaves the focus where it was.
  setFocusPolicy(Qt::TabFocus);
}

QSize PictureButton::sizeHint() const { return renderer_->defaultSize(); }

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect drawn = drawPicture(painter, renderer_, rect());
  if (showsFocus(this)) drawFocusFrame(painter, drawn, rect());
}

void PictureButton::mouseMoveEvent(QMouseEvent* event) {
  if (hasMouseTracking()) Q_EMIT hovered();
  QAbstractButton::mouseMoveEvent(event);
  // The window sees a move without a button as well (it takes the menu
  // highlight away).
  if (!isDown()) event->ignore();
}

}  // namespace rootix::gui
