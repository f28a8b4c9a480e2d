#include "gui/desktop_url_opener.h"

#include <QDesktopServices>
#include <QGuiApplication>

namespace rootix::gui {

bool DesktopUrlOpener::open(const QUrl& url, QString* error) {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    return fail(QStringLiteral("no graphical session to open it in"));
  }
  if (!url.isValid()) return fail(QStringLiteral("not a valid address"));
  if (!QDesktopServices::openUrl(url)) return fail(QStringLiteral("the desktop found no program to open it"));
  return true;
}

}  // namespace rootix::gui
