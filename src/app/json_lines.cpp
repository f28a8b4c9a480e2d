#include "app/json_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "platform/runtime_error.h"

namespace rootix::app {
namespace {

// The failure of a call that set errno to error, in the system's words.
Failure systemFailure(int error, const QString& text = {}) {
  return Failure{errorCodeFromErrno(error), text.isEmpty() ? QString::fromLocal8Bit(std::strerror(error)) : text};
}

// Opens for appending without ever waiting: a FIFO without a reader is
// refused at once instead of holding the program. Gives the descriptor.
Result<int> openForAppend(const QString& path) {
  if (path.isEmpty()) return Failure{kBadFileName, QStringLiteral("no file named")};
  const QByteArray name = QFile::encodeName(path);
  const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int e = errno;
    return systemFailure(e, e == EISDIR  ? QStringLiteral("it is a folder")
                            : e == ENXIO ? QStringLiteral("it is not a regular file")
                                         : QString());
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Failure{kPathFileAccessError, QStringLiteral("it is not a regular file")};
  }
  return fd;
}

}  // namespace

Result<void> JsonLinesFile::check(const QString& path) {
  const Result<int> fd = openForAppend(path);
  if (!fd) return fd.failure();
  ::close(*fd);
  return {};
}

Result<void> JsonLinesFile::append(const QString& path, const QByteArray& line) {
  const Result<int> opened = openForAppend(path);
  if (!opened) return opened.failure();
  const int fd = *opened;
  const QByteArray bytes = line + '\n';
  ssize_t written = -1;
  do {
    written = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
  } while (written < 0 && errno == EINTR);
  const int e = errno;
  if (written == bytes.size()) {
    if (::close(fd) == 0) return {};
    return systemFailure(errno);
  }
  ::close(fd);
  if (written >= 0) {
    // A short write (a full disk): take the partial line back out.
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) == 0 && st.st_size >= written &&
        ::truncate(name.constData(), st.st_size - written) != 0) {
      return systemFailure(ENOSPC, QString::fromLocal8Bit(std::strerror(ENOSPC)) +
                                       QStringLiteral("; a partial line was left at the end"));
    }
    return systemFailure(ENOSPC);
  }
  return systemFailure(e);
}

}  // namespace rootix::app
