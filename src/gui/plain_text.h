#pragma once

#include <QString>

namespace rootix::gui {

// A tool tip that shows data exactly as it is: Qt would take a text that
// looks like markup (a board name such as "<b>X</b>") for rich text.
inline QString plainToolTip(const QString& text) {
  if (text.isEmpty()) return {};
  return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

}  // namespace rootix::gui
