#pragma once

#include <QString>

#include "platform/url_opener.h"

namespace rootix::platform {

class ProcessLauncher;

// Opens addresses with the desktop's own opener program (xdg-open), for the
// terminal console, where no graphical application object exists. The
// address is the program's one argument, so no shell ever sees it.
class XdgUrlOpener : public UrlOpener {
 public:
  explicit XdgUrlOpener(ProcessLauncher& launcher, QString program = QStringLiteral("xdg-open"));
  bool open(const QUrl& url, QString* error) override;

 private:
  ProcessLauncher& launcher_;
  QString program_;
};

}  // namespace rootix::platform
