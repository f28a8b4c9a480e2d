#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

class QPainter;
class QSvgRenderer;

namespace rootix::gui {

// One parsed copy of each picture for the whole program: the score list can
// hold hundreds of icons. The application object owns them.
QSvgRenderer* sharedRenderer(const QString& resource);
// Draws the picture with its proportions kept, centred in target; returns
// where it was drawn.
QRect drawPicture(QPainter& painter, QSvgRenderer* renderer, const QRect& target);
// The program's icon, the one its package installs, for both windows.
QIcon programIcon();

// A picture from the window's resources, drawn from its SVG at whatever
// size and device scale it is shown, so it never blurs. Screen readers see
// an image named by its accessible name; one without a name decorates the
// text beside it and is passed over. Reports clicks (a bullet acts for its
// caption).
class Picture : public QWidget {
  Q_OBJECT

 public:
  Picture(const QString& resource, QWidget* parent);

  void setResource(const QString& resource);
  const QString& resource() const { return resource_; }

 Q_SIGNALS:
  void clicked();
  void hovered();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QSvgRenderer* renderer_ = nullptr;  // shared, not owned
  QString resource_;
  bool pressed_ = false;
};

}  // namespace rootix::gui
