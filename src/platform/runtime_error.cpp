#include "platform/runtime_error.h"

#include <cerrno>
#include <cstring>

namespace rootix {

RuntimeError::RuntimeError(int code, const std::string& what)
    : std::runtime_error(what.empty() ? "error " + std::to_string(code) : what), code_(code) {}

QString errorOccured(int code) { return QStringLiteral("Error occured: ") + QString::number(code) + u'.'; }

int errorCodeFromErrno(int err) {
  switch (err) {
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
      return kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return kPermissionDenied;
    case EEXIST:
      return kFileAlreadyExists;
    case EISDIR:
      return kPathFileAccessError;
    case ENOSPC:
    case EDQUOT:
      return kDiskFull;
    case ENOMEM:
      return kOutOfMemory;
    case ENAMETOOLONG:
      return kBadFileName;
    default:
      return kPathFileAccessError;
  }
}

void throwErrno(int err) { throw RuntimeError(errorCodeFromErrno(err), std::strerror(err)); }

}  // namespace rootix
