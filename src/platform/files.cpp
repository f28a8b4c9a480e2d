#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdlib>

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
  int close() {
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

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

// A device or FIFO: written as it is, never replaced. No reader on a FIFO
// is an error, not a wait that never ends.
void writeInPlace(const QString& path, const QByteArray& bytes) {
  Fd fd(::open(native(path).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) throwForPath(path, errno);
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  writeFully(fd.get(), bytes);
  if (fd.close() != 0) throwErrno(errno);
}

QByteArray folderOf(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// Makes a rename in folder durable. File systems that cannot sync a folder
// say EINVAL; there is nothing more to do on those.
void syncFolder(const QByteArray& folder) {
  Fd fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return;  // the file is in place; a folder we cannot open cannot be synced
  if (::fsync(fd.get()) != 0 && errno != EINVAL) throwErrno(errno);
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
  if (path.isEmpty()) throw RuntimeError(kBadFileName);
  QByteArray target = native(path);
  struct stat st {};
  const bool existed = ::stat(target.constData(), &st) == 0;
  if (existed) {
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode)) {
      writeInPlace(path, bytes);
      return;
    }
    if (!S_ISREG(st.st_mode)) throw RuntimeError(kPermissionDenied, "not a regular file");
    // Through a symbolic link: the file it names is replaced, the link stays.
    if (char* real = ::realpath(target.constData(), nullptr)) {
      target = real;
      ::free(real);
    }
  }

  const QByteArray folder = folderOf(target);
  // Hidden, and short enough that a long final name still leaves room.
  const QByteArray stem = folder + "/." + target.mid(target.lastIndexOf('/') + 1).left(200) + '.';
  QByteArray temp;
  int raw = -1;
  for (int attempt = 0; raw < 0 && attempt < 100; ++attempt) {
    temp = stem + QByteArray::number(QRandomGenerator::global()->generate(), 36);
    // 0666 here: the kernel takes the umask off for a new file.
    raw = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (raw < 0 && errno != EEXIST) throwForPath(path, errno);
  }
  if (raw < 0) throwErrno(EEXIST);
  Fd fd(raw);
  try {
    if (existed) {
      // Owner first: changing it clears set-id bits the mode then restores.
      [[maybe_unused]] const int owned = ::fchown(fd.get(), st.st_uid, st.st_gid);
    }
    const int mode = permissions != kKeepMode ? permissions : existed ? static_cast<int>(st.st_mode & 07777) : -1;
    if (mode >= 0 && ::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0) throwErrno(errno);
    writeFully(fd.get(), bytes);
    if (::fsync(fd.get()) != 0) throwErrno(errno);
    if (fd.close() != 0) throwErrno(errno);
    if (::rename(temp.constData(), target.constData()) != 0) throwErrno(errno);
  } catch (...) {
    ::unlink(temp.constData());
    throw;
  }
  syncFolder(folder);
}

void createNew(const QString& path, const QByteArray& bytes) {
  if (path.isEmpty()) throw RuntimeError(kBadFileName);
  const QByteArray p = native(path);
  Fd fd(::open(p.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
  if (fd.get() < 0) throwForPath(path, errno);
  try {
    writeFully(fd.get(), bytes);
    if (::fsync(fd.get()) != 0) throwErrno(errno);
    if (fd.close() != 0) throwErrno(errno);
  } catch (...) {
    ::unlink(p.constData());  // ours: O_EXCL made it
    throw;
  }
  syncFolder(folderOf(p));
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
