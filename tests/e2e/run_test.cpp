#include <gtest/gtest.h>

#include <QFile>

#include "e2e.h"
#include "platform/numbers.h"
#include "scores/score.h"

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

// -save= writes the run's score file; onto a path that exists the run still
// completes, the file is left alone and the status is 2.
TEST(RunMode, SaveScoreFileThenExistingPath) {
  RootixSandbox box;
  const QString marker = box.path(QStringLiteral("result.txt"));
  const QStringList args{QStringLiteral("-run=32M"), QStringLiteral("-exit=1"), QStringLiteral("-save=") + marker};

  const auto first = box.run(args, QByteArray(), kRunTimeoutMs);
  ASSERT_TRUE(first.finished);
  EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
  QFile file(marker);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray saved = file.readAll();
  file.close();
  scores::Score score;
  ASSERT_EQ(score.loadBytes(saved).code(), scores::Score::kLoaded);
  EXPECT_EQ(score.score_test, 6);
  const QStringList done = first.lines().filter(QStringLiteral("Process completed in "));
  ASSERT_EQ(done.size(), 1);
  EXPECT_EQ(QStringLiteral("Process completed in ") + num::formatGeneral(num::roundDecimals(score.score_score, 3)) +
                QStringLiteral(" seconds."),
            done.front())
      << "the score of this run";

  const auto second = box.run(args, QByteArray(), kRunTimeoutMs);
  ASSERT_TRUE(second.finished);
  const QStringList again = second.lines();
  EXPECT_TRUE(again.contains(QStringLiteral("Test completed successfully.")));
  EXPECT_TRUE(again.contains(QStringLiteral("ERROR: Output file '") + marker + QStringLiteral("' already exists")))
      << second.out.toStdString();
  EXPECT_EQ(second.exitCode, 2);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), saved);
}

}  // namespace
}  // namespace rootix::e2e
