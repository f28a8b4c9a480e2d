#include "platform/process_launcher.h"

#include <signal.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace rootix::platform {
namespace {

// The process id may have been handed to another program since: it must
// still run ours, as its program (a binary) or as its first argument (a
// script's interpreter).
bool stillRuns(int64_t pid, const QString& program) {
  QFile cmdline(QStringLiteral("/proc/") + QString::number(pid) + QStringLiteral("/cmdline"));
  if (!cmdline.open(QIODevice::ReadOnly)) return false;
  const QList<QByteArray> argv = cmdline.read(1 << 16).split('\0');
  const QByteArray ours = QFile::encodeName(program);
  const QByteArray canonical = QFile::encodeName(QFileInfo(program).canonicalFilePath());
  for (qsizetype i = 0; i < std::min<qsizetype>(2, argv.size()); ++i) {
    if (argv[i] == ours || (!canonical.isEmpty() && argv[i] == canonical)) return true;
  }
  return false;
}

}  // namespace

int64_t QtProcessLauncher::startDetached(const QString& program, const QStringList& args) {
  qint64 pid = 0;
  if (!QProcess::startDetached(program, args, QString(), &pid) || pid <= 0) return 0;
  started_[pid] = program;
  return pid;
}

void QtProcessLauncher::terminate(int64_t pid) {
  const auto it = started_.find(pid);
  if (it == started_.end()) return;
  const QString program = it->second;
  started_.erase(it);
  if (!stillRuns(pid, program)) return;
  // A detached program runs in a session of its own, whose one group holds
  // whatever it started too. Never our own group.
  const pid_t id = static_cast<pid_t>(pid);
  const pid_t group = ::getpgid(id);
  if (group > 1 && group != ::getpgid(0) && ::getsid(id) != ::getsid(0)) {
    ::kill(-group, SIGKILL);
  } else {
    ::kill(id, SIGKILL);
  }
}

int64_t SilentProcessLauncher::startDetached(const QString& program, const QStringList& args) {
  QProcess process;
  process.setProgram(program);
  process.setArguments(args);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  qint64 pid = 0;
  return process.startDetached(&pid) ? pid : 0;
}

}  // namespace rootix::platform
