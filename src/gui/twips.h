#pragma once

#include <QRect>
#include <QtGlobal>

namespace rootix::gui {

// The window is laid out in twips (1/1440 inch) and converted at the screen's
// logical DPI, so it keeps its proportions on any screen; device scaling on
// top of that is Qt's.
class Twips {
 public:
  explicit Twips(qreal logicalDpi) : dpi_(logicalDpi) {}

  int px(int twips) const { return qRound(twips * dpi_ / 1440.0); }

  // Edges converted one by one, so neighbours that share an edge in twips
  // share it in pixels too.
  QRect rect(int x, int y, int w, int h) const {
    return QRect(QPoint(px(x), px(y)), QPoint(px(x + w) - 1, px(y + h) - 1));
  }

 private:
  qreal dpi_;
};

}  // namespace rootix::gui
