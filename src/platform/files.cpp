#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

#include "platform/runtime_error.h"

namespace rootix::platform::files {
namespace {

QByteArray native(const QString& path) { return QFile::encodeName(path); }

// A missing file in a missing folder is "path not found", as users know it.
[[noreturn]] void throwForPath(const QString& path, int err) {
  if (err == ENOENT && !QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
    throw RuntimeError(kPathNotFound, "Path not found");
  }
  throwErrno(err);
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

void writeFully(int fd, const QByteArray& bytes) {
  const char* p = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
    if (n < 0) {
      if (errno == EINTR) continue;
      throwErrno(errno);
    }
    p += n;
    left -= n;
  }
}

}  // namespace

bool exists(const QString& path) {
  struct stat st {};
  return !path.isEmpty() && ::stat(native(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QByteArray readAll(const QString& path, int64_t maxBytes) {
  if (path.isEmpty()) throw RuntimeError(kBadFileName);
  Fd fd(::open(native(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) throwForPath(path, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throwErrno(errno);
  if (S_ISDIR(st.st_mode)) throw RuntimeError(kPathFileAccessError, "is a folder");
  if (!S_ISREG(st.st_mode)) throw RuntimeError(kPathFileAccessError, "not a regular file");
  if (st.st_size > maxBytes) throw RuntimeError(kPathFileAccessError, "file too large");
  QByteArray out;
  out.resize(static_cast<qsizetype>(st.st_size));
  qsizetype got = 0;
  for (;;) {
    if (got == out.size()) {
      // The file may have grown since fstat; read on up to the cap.
      if (got >= maxBytes + 1) break;
      out.resize(std::min<qsizetype>(got + 4096, maxBytes + 1));
    }
    const ssize_t n = ::read(fd.get(), out.data() + got, static_cast<size_t>(out.size() - got));
    if (n < 0) {
      if (errno == EINTR) continue;
      throwErrno(errno);
    }
    if (n == 0) break;
    got += n;
  }
  out.resize(got);
  if (got > maxBytes) throw RuntimeError(kPathFileAccessError, "file too large");
  return out;
}

void writeAtomic(const QString& path, const QByteArray& bytes, int permissions) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    const QFileInfo dir(QFileInfo(path).absolutePath());
    if (!dir.exists()) throw RuntimeError(kPathNotFound);
    throw RuntimeError(kPermissionDenied, file.errorString().toStdString());
  }
  if (file.write(bytes) != bytes.size()) throw RuntimeError(kDiskFull);
  if (!file.commit()) throw RuntimeError(kPathFileAccessError, file.errorString().toStdString());
  ::chmod(native(path).constData(), static_cast<mode_t>(permissions));
}

void createNew(const QString& path, const QByteArray& bytes) {
  if (path.isEmpty()) throw RuntimeError(kBadFileName);
  Fd fd(::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0644));
  if (fd.get() < 0) throwForPath(path, errno);
  writeFully(fd.get(), bytes);
}

void remove(const QString& path, bool force) {
  const QByteArray p = native(path);
  struct stat st {};
  if (::lstat(p.constData(), &st) != 0) throwForPath(path, errno);
  if (S_ISDIR(st.st_mode)) throw RuntimeError(kPathFileAccessError, "is a folder");
  // A file without its owner's write permission counts as read-only.
  if (!force && !(st.st_mode & S_IWUSR)) throw RuntimeError(kPermissionDenied, "Permission denied");
  if (::unlink(p.constData()) != 0) throwErrno(errno);
}

}  // namespace rootix::platform::files
