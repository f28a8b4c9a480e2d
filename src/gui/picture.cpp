#include "gui/picture.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>

namespace rootix::gui {
namespace {

class PictureAccessible : public QAccessibleWidget {
 public:
  explicit PictureAccessible(QWidget* picture) : QAccessibleWidget(picture, QAccessible::Graphic) {}
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    // A bullet says nothing its caption does not: like an image without alt text.
    if (widget()->accessibleName().isEmpty()) s.invisible = true;
    return s;
  }
};

QAccessibleInterface* pictureAccessible(const QString& className, QObject* object) {
  if (className != QLatin1String(Picture::staticMetaObject.className()) || !object || !object->isWidgetType()) {
    return nullptr;
  }
  return new PictureAccessible(static_cast<QWidget*>(object));
}

}  // namespace

QSvgRenderer* sharedRenderer(const QString& resource) {
  static QHash<QString, QSvgRenderer*> renderers;
  QSvgRenderer*& r = renderers[resource];
  if (!r) r = new QSvgRenderer(resource, QCoreApplication::instance());
  return r;
}

QRect drawPicture(QPainter& painter, QSvgRenderer* renderer, const QRect& target) {
  painter.setRenderHint(QPainter::Antialiasing);
  QSizeF size = renderer->defaultSize();
  size.scale(QSizeF(target.size()), Qt::KeepAspectRatio);
  const QRectF drawn(
      QPointF(target.x() + (target.width() - size.width()) / 2, target.y() + (target.height() - size.height()) / 2),
      size);
  renderer->render(&painter, drawn);
  return drawn.toAlignedRect();
}

QIcon programIcon() { return QIcon(QStringLiteral(":/gui/rootix.svg")); }

Picture::Picture(const QString& resource, QWidget* parent) : QWidget(parent) {
  static const bool accessibleInstalled = [] {
    QAccessible::installFactory(&pictureAccessible);
    return true;
  }();
  Q_UNUSED(accessibleInstalled);
  setResource(resource);
}

void Picture::setResource(const QString& resource) {
  if (renderer_ && resource == resource_) return;
  resource_ = resource;
  renderer_ = sharedRenderer(resource);
  update();
}

void Picture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawPicture(painter, renderer_, rect());
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
