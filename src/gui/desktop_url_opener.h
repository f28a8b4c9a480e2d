#pragma once

#include "platform/url_opener.h"

namespace rootix::gui {

// Opens addresses through the desktop (QDesktopServices). Needs a
// QGuiApplication; without one it says so instead of failing silently.
class DesktopUrlOpener : public platform::UrlOpener {
 public:
  Result<void> open(const QUrl& url) override;
};

}  // namespace rootix::gui
