#include "platform/xdg_url_opener.h"

#include <QStandardPaths>

#include "platform/process_launcher.h"

namespace rootix::platform {

XdgUrlOpener::XdgUrlOpener(ProcessLauncher& launcher, QString program, std::function<bool()> displayAvailable)
    : launcher_(launcher), program_(std::move(program)), displayAvailable_(std::move(displayAvailable)) {}

Result<void> XdgUrlOpener::open(const QUrl& url) {
  if (!url.isValid()) return Failure{kInvalidProcedureCall, QStringLiteral("not a valid address")};
  if (!displayAvailable_()) return Failure{kInvalidProcedureCall, QStringLiteral("no display to show a browser on")};
  // Looked up first, so a missing opener is told apart from one that fails.
  const QString found = QStandardPaths::findExecutable(program_);
  if (found.isEmpty()) return Failure{kFileNotFound, program_ + QStringLiteral(" is not installed")};
  if (!launcher_.startDetached(found, {url.toString(QUrl::FullyEncoded)})) {
    return Failure{kPathFileAccessError, program_ + QStringLiteral(" could not be started")};
  }
  return {};
}

}  // namespace rootix::platform
