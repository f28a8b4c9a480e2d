#pragma once

#include <QString>
#include <functional>

#include "platform/stdout_writer.h"
#include "platform/url_opener.h"

namespace rootix::platform {

class ProcessLauncher;

// Opens addresses with the desktop's own opener program (xdg-open), for the
// terminal console, where no graphical application object exists. The
// address is the program's one argument, so no shell ever sees it. Give it
// a SilentProcessLauncher. Without a display it refuses: the opener would
// fall back to a text browser fighting the console for the terminal.
class XdgUrlOpener : public UrlOpener {
 public:
  explicit XdgUrlOpener(ProcessLauncher& launcher, QString program = QStringLiteral("xdg-open"),
                        std::function<bool()> displayAvailable = &platform::displayAvailable);
  Result<void> open(const QUrl& url) override;

 private:
  ProcessLauncher& launcher_;
  QString program_;
  std::function<bool()> displayAvailable_;
};

}  // namespace rootix::platform
