#include "gui/picture.h"

#include <QCoreApplication>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>

namespace rootix::gui {
namespace {

// One parsed copy of each picture for the whole program: the score list can
// hold hundreds of icons. The application object owns them.
QSvgRenderer* sharedRenderer(const QString& resource) {
  static QHash<QString, QSvgRenderer*> renderers;
  QSvgRenderer*& r = renderers[resource];
  if (!r) r = new QSvgRenderer(resource, QCoreApplication::instance());
  return r;
}

}  // namespace

Picture::Picture(const QString& resource, QWidget* parent) : QWidget(parent) { setResource(resource); }

void Picture::setResource(const QString& resource) {
  if (renderer_ && resource == resource_) return;
  resource_ = resource;
  renderer_ = sharedRenderer(resource);
  update();
}

void Picture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  // Keeps the picture's proportions, centred in the control.
  QSizeF size = renderer_->defaultSize();
  size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
  const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  renderer_->render(&painter, target);
}

void Picture::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressed_ = true;
}

void Picture::mouseReleaseEvent(QMouseEvent* event) {
  // A click is a press and a release on the picture, as with a button.
  const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  if (click) Q_EMIT clicked();
}

void Picture::mouseMoveEvent(QMouseEvent* event) {
  if (hasMouseTracking()) Q_EMIT hovered();
  // The window sees the move as well (it takes the menu highlight away).
  event->ignore();
}

}  // namespace rootix::gui
