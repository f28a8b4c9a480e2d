#pragma once

#include "platform/url_opener.h"

namespace rootix::gui {

// Opens addresses through the desktop (QDesktopServices). Needs a
// QGuiApplication; without one it says so instead of failing silently.
class DesktopUrlOpener : public platform::UrlOpener {
 public:
  bool open(const QUrl& url, QString* error) override;
};

}  // namespace rootix::gui
