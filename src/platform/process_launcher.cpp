#include "platform/process_launcher.h"

#include <QProcess>

namespace rootix::platform {

bool QtProcessLauncher::startDetached(const QString& program, const QStringList& args) {
  return QProcess::startDetached(program, args);
}

}  // namespace rootix::platform
