#pragma once

#include <QUrl>

#include "platform/result.h"

namespace rootix::platform {

// Opens an address (a web page or a local file) in the user's browser. The
// address is handed over as one argument: no command file, no shell.
class UrlOpener {
 public:
  virtual ~UrlOpener() = default;
  // Fails with the reason in words when no browser could be started.
  virtual Result<void> open(const QUrl& url) = 0;
};

}  // namespace rootix::platform
