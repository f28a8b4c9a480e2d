// Start-up of the real binary: the welcome line, the help text, the end of
// input, and a start-up script appended to a renamed copy.
#include <gtest/gtest.h>

#include "console/shell_commands.h"
#include "support/rootix_process.h"

namespace rootix::e2e {
namespace {

using testing::RootixSandbox;

TEST(StartUp, HelpThenExit) {
  RootixSandbox box;
  const auto run = box.run({}, "help\nexit\n");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  const QStringList lines = run.lines();
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines.first(), "Welcome to Rootix Benchmark v2.11.");
  const qsizetype help = lines.indexOf("help");
  ASSERT_GE(help, 0) << run.out.constData();
  EXPECT_EQ(lines.mid(help + 1, 49), console::helpText());
  EXPECT_EQ(lines.mid(help + 50), (QStringList{"exit", "Please stand by..."}));
}

TEST(StartUp, EndOfInputActsAsExit) {
  RootixSandbox box;
  const auto run = box.run({}, "echo last");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.lines().mid(run.lines().size() - 4), (QStringList{"echo last", " last", "exit", "Please stand by..."}));
}

TEST(StartUp, AppendedScriptInARenamedCopy) {
  RootixSandbox box;
  const QString copy = box.copyWith(
      "renamed-benchmark",
      "\n#CUSTOM_DATA#\r\necho $1\r\necho $10\nrootix= 2\nskip\necho skipped 1\n\n\necho skipped 2\necho shown\n");
  ASSERT_FALSE(copy.isEmpty());
  const auto run = box.run({"a", "b"}, "", 60000, copy);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.lines(),
            (QStringList{"Welcome to Rootix Benchmark v2.11.", " b", " b0", " shown", "exit", "Please stand by..."}))
      << run.err.constData();
}

}  // namespace
}  // namespace rootix::e2e
