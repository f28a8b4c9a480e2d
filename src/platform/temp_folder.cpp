#include "platform/temp_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/runtime_error.h"

namespace rootix::platform {
namespace {

bool isFolder(const QByteArray& path) {
  struct stat st {};
  return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

TempBase tempBase() {
  const QByteArray dir = qgetenv("TMPDIR");
  if (dir.isEmpty()) return {QStringLiteral("/tmp"), {}};
  const QString named = QFile::decodeName(dir);
  if (isFolder(dir)) return {named, {}};
  return {QStringLiteral("/tmp"), QStringLiteral("TMPDIR ") + named + QStringLiteral(" is not a folder; using /tmp")};
}

QString privateFolderUnder(const QString& base) {
  QString path = base;
  while (path.size() > 1 && path.endsWith(u'/')) path.chop(1);
  path += QStringLiteral("/rootix-") + QString::number(::getuid());
  const QByteArray native = QFile::encodeName(path);
  if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
    const int err = errno;
    throw RuntimeError(errorCodeFromErrno(err),
                       "cannot create the private temporary folder " + path.toStdString() + ": " + std::strerror(err));
  }
  struct stat st {};
  // lstat: a symbolic link planted under our name is refused like a foreign folder.
  if (::lstat(native.constData(), &st) != 0) throwErrno(errno);
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
    throw RuntimeError(kPermissionDenied, "temporary folder " + path.toStdString() + " is not private to this user");
  }
  return path + u'/';
}

QString tempFolder() { return privateFolderUnder(tempBase().path); }

QString checkedTempFolder() {
  const QString folder = tempFolder();
  const QString probe = folder + QStringLiteral(".rootix-probe-") + QString::number(::getpid());
  try {
    files::writeAtomic(probe, QByteArrayLiteral("probe"), 0600);
    files::remove(probe, true);
  } catch (const RuntimeError& e) {
    QFile::remove(probe);
    throw RuntimeError(e.code(), "cannot use the private temporary folder " + folder.toStdString() + ": " + e.what());
  }
  return folder;
}

}  // namespace rootix::platform
