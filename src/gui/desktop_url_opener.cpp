#include "gui/desktop_url_opener.h"

#include <QDesktopServices>
#include <QGuiApplication>

namespace rootix::gui {

Result<void> DesktopUrlOpener::open(const QUrl& url) {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    return Failure{kInvalidProcedureCall, QStringLiteral("no graphical session to open it in")};
  }
  if (!url.isValid()) return Failure{kInvalidProcedureCall, QStringLiteral("not a valid address")};
  if (!QDesktopServices::openUrl(url)) {
    return Failure{kFileNotFound, QStringLiteral("the desktop found no program to open it")};
  }
  return {};
}

}  // namespace rootix::gui
