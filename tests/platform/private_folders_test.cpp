// Where start-up puts its own files: the base of the private temporary folder
// and the per-user instance lock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/instance_lock.h"
#include "platform/temp_folder.h"

namespace rootix::platform {
namespace {

class Folders : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    saved_ = qgetenv("TMPDIR");
    hadTmpdir_ = qEnvironmentVariableIsSet("TMPDIR");
    QDir(dir_.path()).mkdir(QStringLiteral("folder"));
    QFile file(at("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  void TearDown() override {
    if (hadTmpdir_) {
      qputenv("TMPDIR", saved_);
    } else {
      qunsetenv("TMPDIR");
    }
  }
  QString at(const QString& name) const { return dir_.filePath(name); }
  QString ownName() const { return QStringLiteral("rootix-") + QString::number(::getuid()); }

  QTemporaryDir dir_;
  QByteArray saved_;
  bool hadTmpdir_ = false;
};

TEST_F(Folders, TmpdirThatIsNoFolderFallsBackToTmpWithAWarning) {
  struct Case {
    const char* name;
    const char* tmpdir;  // nullptr: unset; "@x": the scratch entry x
    bool fallsBack;
    bool warns;
  };
  const Case cases[] = {
      {"unset", nullptr, true, false},         {"empty", "", true, false},
      {"a folder", "@folder", false, false},   {"missing", "/nonexistent", true, true},
      {"a regular file", "@file", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QString value = c.tmpdir ? QString::fromLatin1(c.tmpdir) : QString();
    if (value.startsWith(u'@')) value = at(value.mid(1));
    if (c.tmpdir) {
      qputenv("TMPDIR", QFile::encodeName(value));
    } else {
      qunsetenv("TMPDIR");
    }
    const TempBase base = tempBase();
    EXPECT_EQ(base.path, c.fallsBack ? QStringLiteral("/tmp") : value);
    EXPECT_EQ(base.warning.isEmpty(), !c.warns) << base.warning.toStdString();
    if (c.warns) {
      EXPECT_TRUE(base.warning.contains(value)) << base.warning.toStdString();
    }
  }
}

TEST_F(Folders, LockFolderIsTheRuntimeFolderWhenItIsOurs) {
  QDir(dir_.path()).mkdir(QStringLiteral("run"));
  ::chmod(QFile::encodeName(at("run")).constData(), 0700);
  QDir(dir_.path()).mkdir(QStringLiteral("open-run"));
  ::chmod(QFile::encodeName(at("open-run")).constData(), 0777);
  QDir(dir_.path()).mkdir(QStringLiteral("systmp"));
  const QString fallback = at("systmp") + u'/' + ownName() + u'/';
  const struct {
    const char* name;
    QString runtimeDir;
    QString expected;
  } cases[] = {
      {"private runtime folder", at("run"), at("run") + u'/'},
      {"unset", QString(), fallback},
      {"missing", at("gone"), fallback},
      {"open to others", at("open-run"), fallback},
      {"a file", at("file"), fallback},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InstanceLock::folderFor(c.runtimeDir, at("systmp")), c.expected) << c.name;
  }
}

TEST_F(Folders, LockIsHeldUntilUnlocked) {
  InstanceLock first(dir_.path() + u'/');
  InstanceLock second(dir_.path() + u'/');
  ASSERT_EQ(first.tryLock(), InstanceLock::Result::Acquired);
  EXPECT_EQ(second.tryLock(), InstanceLock::Result::HeldByAnother);
  first.unlock();
  EXPECT_EQ(second.tryLock(), InstanceLock::Result::Acquired);
}

TEST_F(Folders, LockInAFolderThatCannotHoldItIsUnusableNotHeld) {
  const QString missing = at("gone") + u'/';
  InstanceLock lock(missing);
  EXPECT_EQ(lock.tryLock(), InstanceLock::Result::Unusable);
  EXPECT_TRUE(lock.problem().contains(missing + QStringLiteral("rootix.lock"))) << lock.problem().toStdString();
}

}  // namespace
}  // namespace rootix::platform
