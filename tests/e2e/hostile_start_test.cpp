// The real binary started as a careless or hostile user would: closed
// descriptors, a full or read-only disk, runaway start-up arguments, and a
// second start with another TMPDIR.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "app/startup_script.h"
#include "support/private_mount.h"
#include "support/rootix_process.h"

namespace rootix::e2e {
namespace {

using app::expansionTooLongMessage;

using testing::RootixSandbox;

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// A closed input reads as its end; closed outputs are no reason to stop.
TEST(HostileStart, ClosedStandardDescriptors) {
  const struct {
    const char* redirect;
    bool seesOutput;
  } cases[] = {{"<&-", true}, {"<&- >&- 2>&-", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.redirect);
    RootixSandbox box;
    const auto run =
        box.run({QStringLiteral("-c"), QStringLiteral("exec \"$0\" ") + QLatin1StringView(c.redirect), box.binary()},
                {}, 30000, QStringLiteral("/bin/sh"));
    ASSERT_TRUE(run.finished) << "hangs";
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    if (c.seesOutput) {
      EXPECT_EQ(run.lines().mid(run.lines().size() - 2), (QStringList{"exit", "Please stand by..."}));
    }
  }
}

TEST(HostileStart, QuestionIsALineOfItsOwnForAScript) {
  RootixSandbox box;
  const auto run = box.run({}, "confirm Go?,echo yes,echo no\ny\n");
  ASSERT_TRUE(run.finished);
  const QStringList lines = run.lines();
  const qsizetype at = lines.indexOf("Query:  Go? [y/N]");
  ASSERT_GE(at, 0) << run.out.constData();
  EXPECT_EQ(lines.value(at + 1), " yes");
}

// "save" and "savelog" on a full disk say so and keep what was there.
TEST(HostileStart, FullDiskSaveKeepsTheOldFiles) {
  RootixSandbox box;
  ASSERT_TRUE(QDir().mkdir(box.path("disk")));
  testing::PrivateTmpfs disk(box.path("disk"), QStringLiteral("size=64k"));
  if (!disk.mounted()) GTEST_SKIP() << disk.whyNot().toStdString();
  put(box.path("disk/keep.rxs"), "OLD");
  put(box.path("disk/keep.log"), "OLD LOG");
  testing::fillUp(box.path("disk"));

  const auto run = box.run({}, "st 1\nsave disk/keep.rxs 1\ny\nsavelog disk/keep.log\nexit\n");
  ASSERT_TRUE(run.finished);
  const QStringList lines = run.lines();
  const qsizetype save = lines.indexOf("save disk/keep.rxs 1");
  ASSERT_GE(save, 0) << run.out.constData();
  EXPECT_EQ(lines.value(save + 2), "61");
  const qsizetype savelog = lines.indexOf("savelog disk/keep.log");
  ASSERT_GE(savelog, 0);
  EXPECT_EQ(lines.value(savelog + 1), "Error occured: 61.");
  EXPECT_EQ(contents(box.path("disk/keep.rxs")), "OLD");
  EXPECT_EQ(contents(box.path("disk/keep.log")), "OLD LOG");
}

// An unusable private folder is status 1 with the folder and the reason,
// not "already running".
TEST(HostileStart, UnusablePrivateFolderEndsWithStatus1) {
  const struct {
    const char* name;
    bool readOnly;
    const char* reason;
  } cases[] = {{"read-only", true, "Read-only file system"}, {"full", false, "No space left on device"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RootixSandbox box;
    const QString tmp = box.path("tmp");
    testing::PrivateTmpfs disk(tmp, QStringLiteral("size=64k"), c.readOnly);
    if (!disk.mounted()) GTEST_SKIP() << disk.whyNot().toStdString();
    const QString folder = tmp + QStringLiteral("/rootix-") + QString::number(::getuid());
    if (!c.readOnly) {
      ASSERT_TRUE(QDir().mkdir(folder));
      ::chmod(QFile::encodeName(folder).constData(), 0700);
      testing::fillUp(tmp);
    }
    const auto run = box.run({}, "exit\n", 30000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.constData();
    EXPECT_TRUE(run.err.contains(QFile::encodeName(folder))) << run.err.constData();
    EXPECT_TRUE(run.err.contains(c.reason)) << run.err.constData();
  }
}

TEST(HostileStart, RunawayArgumentExpansionStopsTheScript) {
  RootixSandbox box;
  const QString copy = box.copyWith("scripted", "\n#CUSTOM_DATA#\necho $0\necho never\n");
  ASSERT_FALSE(copy.isEmpty());
  QStringList args;
  for (int i = 1; i <= 40; ++i) args << QStringLiteral("$%1$%1").arg(i);
  const auto run = box.run(args, "", 60000, copy);
  ASSERT_TRUE(run.finished);
  EXPECT_TRUE(run.lines().contains(expansionTooLongMessage())) << run.out.constData();
  EXPECT_FALSE(run.lines().contains(" never"));
}

// One instance per user, whatever TMPDIR each start is given: the second
// start ends with status 3 before any console opens.
TEST(HostileStart, SecondInstanceOpensNoConsole) {
  for (const bool otherTmpdir : {false, true}) {
    RootixSandbox box;
    QProcess first;
    first.setProcessEnvironment(box.environment());
    first.start(box.binary(), {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(first.waitForReadyRead(30000));  // the welcome line: it holds the lock

    QProcessEnvironment env = box.environment();
    if (otherTmpdir) {
      ASSERT_TRUE(QDir().mkdir(box.path("other-tmp")));
      env.insert(QStringLiteral("TMPDIR"), box.path("other-tmp"));
    }
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(box.binary(), {});
    second.write("help\n");
    second.closeWriteChannel();
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 3) << "another TMPDIR: " << otherTmpdir;
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());

    first.write("exit\n");
    first.closeWriteChannel();
    EXPECT_TRUE(first.waitForFinished(30000));
  }
}

}  // namespace
}  // namespace rootix::e2e
