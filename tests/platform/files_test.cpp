// The write helper against what a path can be: a full disk, devices, FIFOs,
// other nodes, and the modes and owners of the files it replaces.
#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <functional>

#include "platform/runtime_error.h"
#include "platform/temp_folder.h"
#include "support/error_of.h"
#include "support/private_mount.h"

namespace rootix::platform {
namespace {

using rootix::testing::errorOf;

QByteArray native(const QString& path) { return QFile::encodeName(path); }

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& bytes, mode_t mode) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
  f.close();
  ASSERT_EQ(::chmod(native(path).constData(), mode), 0);
}

struct stat statOf(const QString& path) {
  struct stat st {};
  ::lstat(native(path).constData(), &st);
  return st;
}

// Sets the umask for one scope.
class Umask {
 public:
  explicit Umask(mode_t mask) : old_(::umask(mask)) {}
  ~Umask() { ::umask(old_); }

 private:
  mode_t old_;
};

class Scratch : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QString at(const QString& name) const { return dir_.filePath(name); }
  QStringList entries() const {
    return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }
  QTemporaryDir dir_;
};

struct ModeCase {
  const char* name;
  int existing;  // mode of the file already there; -1 for a new path
  mode_t umask;
  int permissions;
  mode_t expected;
};

TEST_F(Scratch, ModesKeptForExistingFilesAndUmaskForNewOnes) {
  const ModeCase cases[] = {
      {"existing 0600 stays", 0600, 022, files::kKeepMode, 0600},
      {"existing 0640 under umask 077 stays", 0640, 077, files::kKeepMode, 0640},
      {"new file under umask 077", -1, 077, files::kKeepMode, 0600},
      {"new file under umask 022", -1, 022, files::kKeepMode, 0644},
      {"explicit permissions win", 0644, 022, 0400, 0400},
  };
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = at(QString::fromLatin1(c.name).replace(u' ', u'_'));
    if (c.existing >= 0) put(path, "old", static_cast<mode_t>(c.existing));
    const Umask mask(c.umask);
    files::writeAtomic(path, "new", c.permissions);
    EXPECT_EQ(contents(path), "new");
    EXPECT_EQ(statOf(path).st_mode & 07777, c.expected);
  }
  const Umask mask(077);
  files::createNew(at("marker"), "Not done yet");
  EXPECT_EQ(statOf(at("marker")).st_mode & 07777, 0600u);
  EXPECT_EQ(entries().filter(u".").size(), 0) << entries().join(u' ').toStdString();  // no temporary left
}

TEST_F(Scratch, OwnerOfAReplacedFileIsKept) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can hand a file to another owner";
  const QString path = at("log.txt");
  put(path, "old", 0640);
  ASSERT_EQ(::chown(native(path).constData(), 4321, 4322), 0);
  files::writeAtomic(path, "new");
  EXPECT_EQ(statOf(path).st_uid, 4321u);
  EXPECT_EQ(statOf(path).st_gid, 4322u);
  EXPECT_EQ(statOf(path).st_mode & 07777, 0640u);
}

// A node made in the scratch folder; the empty text when it was made, else
// why not (for a skip).
using MakeNode = std::function<QString(const QString& path)>;

QString fromErrno(const char* what) {
  return QString::fromLatin1(what) + ": " + QString::fromLocal8Bit(std::strerror(errno));
}

MakeNode device(unsigned major, unsigned minor) {
  return [=](const QString& path) {
    if (::mknod(native(path).constData(), S_IFCHR | 0666, makedev(major, minor)) != 0) return fromErrno("mknod");
    const int fd = ::open(native(path).constData(), O_WRONLY);
    if (fd < 0) return fromErrno("the scratch folder does not allow devices");
    ::close(fd);
    return QString();
  };
}

struct NodeCase {
  const char* name;
  MakeNode make;
  int expectedError;
  mode_t expectedType;  // the node is still this afterwards
};

TEST_F(Scratch, DevicesAndFifosAreWrittenInPlaceOtherNodesRefused) {
  const NodeCase cases[] = {
      {"null device", device(1, 3), 0, S_IFCHR},
      {"full device", device(1, 7), kDiskFull, S_IFCHR},
      {"fifo nobody reads",
       [](const QString& p) { return ::mkfifo(native(p).constData(), 0600) ? fromErrno("mkfifo") : QString(); },
       kPathFileAccessError, S_IFIFO},
      {"folder", [](const QString& p) { return QDir().mkdir(p) ? QString() : QStringLiteral("mkdir failed"); },
       kPermissionDenied, S_IFDIR},
      {"socket",
       [](const QString& p) {
         sockaddr_un addr{};
         addr.sun_family = AF_UNIX;
         const QByteArray n = native(p);
         if (n.size() >= static_cast<qsizetype>(sizeof addr.sun_path))
           return QStringLiteral("path too long for a socket");
         std::memcpy(addr.sun_path, n.constData(), static_cast<size_t>(n.size()));
         const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
         const bool bound = s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
         if (s >= 0) ::close(s);
         return bound ? QString() : fromErrno("bind");
       },
       kPermissionDenied, S_IFSOCK},
  };
  for (const NodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = at(QString::fromLatin1(c.name).replace(u' ', u'_'));
    if (const QString why = c.make(path); !why.isEmpty()) {
      std::printf("skipping the %s case: %s\n", c.name, qPrintable(why));
      continue;
    }
    EXPECT_EQ(errorOf([&] { files::writeAtomic(path, "transcript"); }), c.expectedError);
    EXPECT_EQ(statOf(path).st_mode & S_IFMT, c.expectedType);
  }
  EXPECT_EQ(entries().filter(QStringLiteral(".")).size(), 0) << entries().join(u' ').toStdString();
}

TEST_F(Scratch, FifoWithAReaderGetsTheBytes) {
  const QString path = at("pipe");
  ASSERT_EQ(::mkfifo(native(path).constData(), 0600), 0);
  const int reader = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  files::writeAtomic(path, "line\n");
  char buf[16] = {};
  EXPECT_EQ(::read(reader, buf, sizeof buf), 5);
  EXPECT_STREQ(buf, "line\n");
  ::close(reader);
  EXPECT_TRUE(S_ISFIFO(statOf(path).st_mode));
}

TEST_F(Scratch, ALinkIsFollowedAndStays) {
  put(at("real.rxs"), "old", 0600);
  ASSERT_TRUE(QFile::link(at("real.rxs"), at("link.rxs")));
  files::writeAtomic(at("link.rxs"), "new");
  EXPECT_TRUE(S_ISLNK(statOf(at("link.rxs")).st_mode));
  EXPECT_EQ(contents(at("real.rxs")), "new");
  EXPECT_EQ(statOf(at("real.rxs")).st_mode & 07777, 0600u);
}

// A file system with no room left: every write fails with 61 and leaves the
// folder as it was, whatever was there before.
class FullDisk : public Scratch {
 protected:
  void SetUp() override {
    Scratch::SetUp();
    disk_ = std::make_unique<rootix::testing::PrivateTmpfs>(dir_.path(), QStringLiteral("size=64k"));
    if (!disk_->mounted()) GTEST_SKIP() << disk_->whyNot().toStdString();
    put(at("keep.rxs"), "OLD", 0600);
    ASSERT_TRUE(QDir().mkdir(at("rootix-" + QString::number(::getuid()))));
    ::chmod(native(at("rootix-" + QString::number(::getuid()))).constData(), 0700);
    rootix::testing::fillUp(dir_.path());
  }
  std::unique_ptr<rootix::testing::PrivateTmpfs> disk_;
};

TEST_F(FullDisk, WritesFailWith61AndLeaveEverythingAsItWas) {
  const QStringList before = entries();
  const struct {
    const char* name;
    std::function<void()> write;
  } cases[] = {
      {"replace an existing file", [&] { files::writeAtomic(at("keep.rxs"), "NEW SCORE"); }},
      {"a new file", [&] { files::writeAtomic(at("new.rxs"), "NEW SCORE"); }},
      {"a new marker file", [&] { files::createNew(at("marker"), "Not done yet"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(errorOf(c.write), kDiskFull);
    EXPECT_EQ(contents(at("keep.rxs")), "OLD");
    EXPECT_EQ(entries(), before);
  }
}

TEST_F(FullDisk, PrivateFolderCheckNamesTheFolderAndTheReason) {
  const QByteArray saved = qgetenv("TMPDIR");
  qputenv("TMPDIR", native(dir_.path()));
  std::string message;
  try {
    checkedTempFolder();
  } catch (const RuntimeError& e) {
    message = e.what();
    EXPECT_EQ(e.code(), kDiskFull);
  }
  qputenv("TMPDIR", saved);
  EXPECT_NE(message.find(native(at("rootix-")).toStdString()), std::string::npos) << message;
  EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
}

}  // namespace
}  // namespace rootix::platform
