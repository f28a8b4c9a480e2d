#pragma once

#include <QString>
#include <QUrl>

namespace rootix::platform {

// Opens an address (a web page or a local file) in the user's browser. The
// address is handed over as one argument: no command file, no shell.
class UrlOpener {
 public:
  virtual ~UrlOpener() = default;
  // False with a reason in *error when no browser could be started.
  virtual bool open(const QUrl& url, QString* error) = 0;
};

}  // namespace rootix::platform
