#include <gtest/gtest.h>

#include <QFile>

#include "e2e.h"

namespace rootix::e2e {
namespace {

using testing::RootixSandbox;

// Unattended: -run=32M runs test 6 and -exit= ends the program after it with
// a status automation can use.
TEST(RunMode, Run32MAndExit) {
  RootixSandbox box;
  const auto run = box.run({QStringLiteral("-run=32M"), QStringLiteral("-exit=1")}, QByteArray(), kRunTimeoutMs);
  ASSERT_TRUE(run.finished) << run.out.toStdString();
  expectCompleted32MRun(run);
  EXPECT_EQ(run.lines().last(), QStringLiteral("Please stand by..."));
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
}

// -save= leaves the marker file; onto a path that exists the run still
// completes, the file is left alone and the status is 2.
TEST(RunMode, SaveMarkerThenExistingPath) {
  RootixSandbox box;
  const QString marker = box.path(QStringLiteral("result.txt"));
  const QStringList args{QStringLiteral("-run=32M"), QStringLiteral("-exit=1"), QStringLiteral("-save=") + marker};

  const auto first = box.run(args, QByteArray(), kRunTimeoutMs);
  ASSERT_TRUE(first.finished);
  EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
  QFile file(marker);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("Not done yet"));
  file.close();

  const auto second = box.run(args, QByteArray(), kRunTimeoutMs);
  ASSERT_TRUE(second.finished);
  const QStringList again = second.lines();
  EXPECT_TRUE(again.contains(QStringLiteral("Test completed successfully.")));
  EXPECT_TRUE(again.contains(QStringLiteral("ERROR: Output file '") + marker + QStringLiteral("' already exists")))
      << second.out.toStdString();
  EXPECT_EQ(second.exitCode, 2);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("Not done yet"));
}

}  // namespace
}  // namespace rootix::e2e
