#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QStandardPaths>

#include "e2e.h"

namespace rootix::e2e {
namespace {

using testing::RootixRun;
using testing::RootixSandbox;

// Starts rootix with one more environment variable, sends SIGINT once `interruptAfter` has been
// printed (when given), and waits for the end.
RootixRun runWith(const RootixSandbox& box, const QStringList& args, const QString& variable, const QString& value,
                  const QString& interruptAfter = {}) {
  QProcess process;
  QProcessEnvironment env = box.environment();
  if (!variable.isEmpty()) env.insert(variable, value);
  process.setProcessEnvironment(env);
  process.setWorkingDirectory(box.path(QString()));
  process.start(box.binary(), args);
  RootixRun result;
  if (!process.waitForStarted(10000)) return result;
  process.closeWriteChannel();
  QByteArray out;
  if (!interruptAfter.isEmpty()) {
    while (!out.contains(interruptAfter.toUtf8()) && process.waitForReadyRead(kRunTimeoutMs)) {
      out += process.readAllStandardOutput();
    }
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
  }
  result.finished = process.waitForFinished(kRunTimeoutMs);
  if (!result.finished) {
    process.kill();
    process.waitForFinished();
  }
  result.exitCode = process.exitCode();
  result.out = out + process.readAllStandardOutput();
  result.err = process.readAllStandardError();
  return result;
}

const QString kPassed = QStringLiteral("^Stress test passed: [0-9]+ pass(es)?, [0-9]+ numbers, 0 errors in [0-9.]+ s$");

// Unattended: the verdict, then "exit"; 0 when it passed, 4 when the injected fault was found,
// with the number, its wrong and its right bits.
TEST(StressMode, PassesAndFindsTheInjectedFault) {
  RootixSandbox box;
  const QStringList args{QStringLiteral("-stress=2:1"), QStringLiteral("-exit=1")};
  const RootixRun clean = runWith(box, args, {}, {});
  ASSERT_TRUE(clean.finished) << clean.out.toStdString();
  EXPECT_TRUE(anyLineMatches(clean.lines(), kPassed)) << clean.out.toStdString();
  EXPECT_TRUE(anyLineMatches(clean.lines(), QStringLiteral("^Pass 1: [0-9.]+ s, 0 errors")));
  EXPECT_EQ(clean.lines().last(), QStringLiteral("Please stand by..."));
  EXPECT_EQ(clean.exitCode, 0) << clean.err.toStdString();

  const RootixRun faulty = runWith(box, args, QStringLiteral("ROOTIX_STRESS_INJECT"), QStringLiteral("1:1048576"));
  ASSERT_TRUE(faulty.finished);
  const QStringList lines = faulty.lines();
  EXPECT_TRUE(
      lines.contains(QStringLiteral("Injecting a fault: the lowest bit of sqrt(1048576) is flipped in pass 1.")));
  EXPECT_TRUE(anyLineMatches(lines, QStringLiteral("^ERROR: pass 1, thread [12], CPU [0-9]+: sqrt\\(1048576\\) gave "
                                                   "0x409000003c6a675b, expected 0x409000003c6a675a$")))
      << faulty.out.toStdString();
  EXPECT_TRUE(anyLineMatches(lines, QStringLiteral("^Pass 1: [0-9.]+ s, 1 error")));
  EXPECT_TRUE(anyLineMatches(
      lines, QStringLiteral("^Stress test failed: 1 error in [0-9]+ pass(es)?, first on CPU [0-9]+ in pass 1$")));
  EXPECT_EQ(faulty.exitCode, 4);
}

// Refused values: a clear message and, unattended, status 1 instead of a run.
TEST(StressMode, RefusesTestsWithoutReferenceAndBadDurations) {
  RootixSandbox box;
  const struct {
    const char* value;
    const char* message;
  } cases[] = {
      {"13:10m", "Invalid stress test \"13\": only tests 1 to 12 have known answers to check against"},
      {"11:1e9h",
       "Invalid duration \"1e9h\": give whole seconds, or a whole number with s, m or h (30s, 10m, 2h), more than 0 "
       "and at most a year"},
      {"11", "Usage: -stress=<test 1-12>:<duration: 30s, 10m, 2h>[:cycle]"},
  };
  for (const auto& c : cases) {
    const RootixRun run =
        box.run({QStringLiteral("-stress=") + QString::fromUtf8(c.value), QStringLiteral("-exit=1")}, QByteArray());
    ASSERT_TRUE(run.finished) << c.value;
    EXPECT_TRUE(run.lines().contains(QString::fromUtf8(c.message))) << run.out.toStdString();
    EXPECT_FALSE(anyLineMatches(run.lines(), QStringLiteral("^Stress test ")));
    EXPECT_EQ(run.exitCode, 1) << c.value;
  }
  // Typed at the console: the message, and the console goes on.
  const RootixRun typed = box.run({}, QByteArray("stress 16 10m\nstress 6 0\nstress 6 -1\necho still here\n"));
  ASSERT_TRUE(typed.finished);
  const QStringList lines = typed.lines();
  EXPECT_TRUE(lines.contains(
      QStringLiteral("Invalid stress test \"16\": only tests 1 to 12 have known answers to check against")));
  EXPECT_TRUE(anyLineMatches(lines, QStringLiteral("^Invalid duration \"0\": ")));
  EXPECT_TRUE(anyLineMatches(lines, QStringLiteral("^Invalid duration \"-1\": ")));
  EXPECT_TRUE(lines.contains(QStringLiteral(" still here")));
  EXPECT_EQ(typed.exitCode, 0);
}

// An affinity mask of one processor: every worker shares it.
TEST(StressMode, AffinityMaskSmallerThanTheThreadCount) {
  const QString taskset = QStandardPaths::findExecutable(QStringLiteral("taskset"));
  if (taskset.isEmpty()) GTEST_SKIP() << "taskset is not installed";
  RootixSandbox box;
  const RootixRun run = box.run({QStringLiteral("-c"), QStringLiteral("0"), box.binary(), QStringLiteral("--terminal"),
                                 QStringLiteral("-stress=1:1"), QStringLiteral("-exit=1")},
                                QByteArray(), kRunTimeoutMs, taskset);
  ASSERT_TRUE(run.finished);
  EXPECT_TRUE(anyLineMatches(run.lines(), QStringLiteral(", [0-9]+ workers? on CPU 0\\.$"))) << run.out.toStdString();
  EXPECT_TRUE(anyLineMatches(run.lines(), kPassed));
  EXPECT_EQ(run.exitCode, 0);
}

// Ctrl-C in the middle of a pass: the "stopped" verdict (never "passed") and status 5.
TEST(StressMode, InterruptStopsAfterTheCurrentBlock) {
  RootixSandbox box;
  const RootixRun run = runWith(box, {QStringLiteral("-stress=12:1h"), QStringLiteral("-exit=1")}, {}, {},
                                QStringLiteral("Ctrl-C ends it after the current block."));
  ASSERT_TRUE(run.finished) << run.out.toStdString();
  EXPECT_TRUE(anyLineMatches(run.lines(),
                             QStringLiteral("^Stress test stopped: 0 passes, [0-9]+ numbers, 0 errors in [0-9.]+ s$")))
      << run.out.toStdString();
  EXPECT_FALSE(anyLineMatches(run.lines(), QStringLiteral("^Stress test passed")));
  EXPECT_EQ(run.exitCode, 5);
}

}  // namespace
}  // namespace rootix::e2e
