#pragma once

#include <QLabel>

namespace rootix::gui {

// The caption of a window button: a label that reports clicks and hovering.
class ButtonLabel : public QLabel {
  Q_OBJECT

 public:
  ButtonLabel(int index, QWidget* parent);

  int index() const { return index_; }
  // Normal or highlighted caption colour.
  void setHighlighted(bool on);
  bool highlighted() const { return highlighted_; }

 Q_SIGNALS:
  void clicked(int index);
  void hovered(int index);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  int index_;
  bool highlighted_ = true;  // so the first setHighlighted(false) paints
  bool pressed_ = false;
};

}  // namespace rootix::gui
