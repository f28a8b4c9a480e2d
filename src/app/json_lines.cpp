#include "app/json_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace rootix::app {
namespace {

QString reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Opens for appending without ever waiting: a FIFO without a reader is
// refused at once instead of holding the program.
int openForAppend(const QString& path, QString* why) {
  if (path.isEmpty()) {
    *why = QStringLiteral("no file named");
    return -1;
  }
  const QByteArray name = QFile::encodeName(path);
  const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int e = errno;
    *why = e == EISDIR  ? QStringLiteral("it is a folder")
           : e == ENXIO ? QStringLiteral("it is not a regular file")
                        : reason(e);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *why = QStringLiteral("it is not a regular file");
    return -1;
  }
  return fd;
}

}  // namespace

QString JsonLinesFile::check(const QString& path) {
  QString why;
  const int fd = openForAppend(path, &why);
  if (fd >= 0) ::close(fd);
  return why;
}

QString JsonLinesFile::append(const QString& path, const QByteArray& line) {
  QString why;
  const int fd = openForAppend(path, &why);
  if (fd < 0) return why;
  const QByteArray bytes = line + '\n';
  ssize_t written = -1;
  do {
    written = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
  } while (written < 0 && errno == EINTR);
  const int e = errno;
  if (written == bytes.size()) {
    if (::close(fd) == 0) return {};
    return reason(errno);
  }
  ::close(fd);
  if (written >= 0) {
    // A short write (a full disk): take the partial line back out.
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) == 0 && st.st_size >= written &&
        ::truncate(name.constData(), st.st_size - written) != 0) {
      return reason(ENOSPC) + QStringLiteral("; a partial line was left at the end");
    }
    return reason(ENOSPC);
  }
  return reason(e);
}

}  // namespace rootix::app
