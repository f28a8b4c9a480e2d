#pragma once

#include <QString>
#include <QWidget>

class QSvgRenderer;

namespace rootix::gui {

// A picture from the window's resources, drawn from its SVG at whatever
// size and device scale it is shown, so it never blurs. Clickable.
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
