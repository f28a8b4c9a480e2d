#include "support/private_mount.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace rootix::testing {
namespace {

// Once per thread: unsharing again would only stack namespaces.
thread_local bool ownNamespace = false;

}  // namespace

PrivateTmpfs::PrivateTmpfs(const QString& folder, const QString& options, bool readOnly) : folder_(folder) {
  if (!ownNamespace) {
    if (::unshare(CLONE_NEWNS) != 0) {
      whyNot_ = QStringLiteral("no private mount namespace: ") + QString::fromLocal8Bit(std::strerror(errno));
      return;
    }
    // Without this a mount below would propagate to the machine's own tree.
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      whyNot_ = QStringLiteral("cannot make mounts private: ") + QString::fromLocal8Bit(std::strerror(errno));
      return;
    }
    ownNamespace = true;
  }
  const QByteArray where = QFile::encodeName(folder);
  const QByteArray opts = options.toLatin1();
  if (::mount("tmpfs", where.constData(), "tmpfs", readOnly ? MS_RDONLY : 0, opts.constData()) != 0) {
    whyNot_ = QStringLiteral("cannot mount a tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno));
    return;
  }
  mounted_ = true;
}

PrivateTmpfs::~PrivateTmpfs() {
  if (mounted_) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
}

void fillUp(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder + QStringLiteral("/fill")).constData(),
                        O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  static const char block[4096] = {};
  // Whole blocks, then single bytes for whatever is left of the last page.
  for (size_t size : {sizeof block, size_t{1}}) {
    while (::write(fd, block, size) > 0) {
    }
  }
  ::close(fd);
}

}  // namespace rootix::testing
