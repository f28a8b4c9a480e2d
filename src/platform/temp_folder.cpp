#include "platform/temp_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <cerrno>

#include "platform/runtime_error.h"

namespace rootix::platform {

QString tempFolder() {
  const QString base = QDir::tempPath();  // honours TMPDIR
  const QString path = base + QStringLiteral("/rootix-") + QString::number(::getuid());
  const QByteArray native = QFile::encodeName(path);
  if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) throwErrno(errno);
  struct stat st {};
  // lstat: a symbolic link planted under our name is refused like a foreign folder.
  if (::lstat(native.constData(), &st) != 0) throwErrno(errno);
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
    throw RuntimeError(kPermissionDenied,
                       "temporary folder " + path.toStdString() + " is not private to this user");
  }
  return path + u'/';
}

}  // namespace rootix::platform
