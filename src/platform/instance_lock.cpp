#include "platform/instance_lock.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "platform/files.h"
#include "platform/runtime_error.h"
#include "platform/temp_folder.h"

namespace rootix::platform {
namespace {

const QString kLockName = QStringLiteral("rootix.lock");

bool ownPrivateFolder(const QString& path) {
  struct stat st {};
  return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::getuid() && (st.st_mode & 022) == 0;
}

}  // namespace

QString InstanceLock::folderFor(const QString& runtimeDir, const QString& systemTemp) {
  if (ownPrivateFolder(runtimeDir)) return runtimeDir.endsWith(u'/') ? runtimeDir : runtimeDir + u'/';
  return privateFolderUnder(systemTemp);
}

InstanceLock::InstanceLock(const QString& folder) : folder_(folder), lock_(folder + kLockName) {
  // Stale only when its process is gone: a long run must keep its lock.
  lock_.setStaleLockTime(0);
}

InstanceLock::Result InstanceLock::tryLock() {
  if (lock_.tryLock(0)) return Result::Acquired;
  if (lock_.error() == QLockFile::LockFailedError) return Result::HeldByAnother;
  // QLockFile does not say why; writing a file of our own there does.
  QString reason = QStringLiteral("cannot create it");
  const QString probe = folder_ + QStringLiteral(".rootix-probe-") + QString::number(::getpid());
  try {
    files::writeAtomic(probe, QByteArrayLiteral("probe"), 0600);
    QFile::remove(probe);
  } catch (const RuntimeError& e) {
    reason = QString::fromLocal8Bit(e.what());
  }
  problem_ = QStringLiteral("cannot use the lock file ") + folder_ + kLockName + QStringLiteral(": ") + reason;
  return Result::Unusable;
}

}  // namespace rootix::platform
