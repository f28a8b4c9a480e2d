#include "platform/process_launcher.h"

#include <QProcess>

namespace rootix::platform {

bool QtProcessLauncher::startDetached(const QString& program, const QStringList& args) {
  return QProcess::startDetached(program, args);
}

bool SilentProcessLauncher::startDetached(const QString& program, const QStringList& args) {
  QProcess process;
  process.setProgram(program);
  process.setArguments(args);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  return process.startDetached();
}

}  // namespace rootix::platform
