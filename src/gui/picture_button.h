#pragma once

#include <QAbstractButton>
#include <QString>

class QSvgRenderer;

namespace rootix::gui {

// A picture that acts: a button drawn as its SVG picture alone, so Tab
// reaches it, Space presses it and screen readers see a push button with
// the accessible name it is given.
class PictureButton : public QAbstractButton {
  Q_OBJECT

 public:
  PictureButton(const QString& resource, const QString& name, QWidget* parent);

  const QString& resource() const { return resource_; }
  QSize sizeHint() const override;

 Q_SIGNALS:
  // The pointer moves over the picture (with mouse tracking on).
  void hovered();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QSvgRenderer* renderer_;  // shared, not owned
  QString resource_;
};

}  // namespace rootix::gui
