#include <gtest/gtest.h>

#include <cstdio>

#include "app/usage.h"
#include "console/shell_commands.h"
#include "e2e.h"
#include "rootix/version.h"

namespace rootix::e2e {
namespace {

using testing::RootixSandbox;

// --help and --version print and exit 0 before anything else starts: no
// console, no welcome line, no instance lock, whatever else is on the line.
TEST(InfoSwitches, PrintAndExit) {
  struct Case {
    QStringList args;
    QByteArray out;
  };
  const Case cases[] = {
      {{QStringLiteral("--version")}, QByteArray("rootix " ROOTIX_VERSION "\n")},
      {{QStringLiteral("--help")}, QByteArray(app::usageText())},
      {{QStringLiteral("-run=32M"), QStringLiteral("-exit=1"), QStringLiteral("--help")}, QByteArray(app::usageText())},
      {{QStringLiteral("--version"), QStringLiteral("--help")}, QByteArray("rootix " ROOTIX_VERSION "\n")},
  };
  RootixSandbox box;
  for (const Case& c : cases) {
    const auto run = box.run(c.args, QByteArray("exit\n"), 30000);
    ASSERT_TRUE(run.finished) << c.args.join(u' ').toStdString();
    EXPECT_EQ(run.exitCode, 0) << c.args.join(u' ').toStdString();
    EXPECT_EQ(run.out, c.out) << c.args.join(u' ').toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
  }
}

// Only whole words count; the other switches keep their meaning.
TEST(InfoSwitches, OnlyWholeWords) {
  RootixSandbox box;
  const auto run = box.run({QStringLiteral("--helpme"), QStringLiteral("x--version")}, QByteArray("exit\n"));
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_FALSE(run.lines().isEmpty());
  EXPECT_EQ(run.lines().first(), QStringLiteral("Welcome to Rootix Benchmark v2.11."));
}

// A full disk or closed pipe is not reported as success, as `rootix --version > /dev/full` would be.
TEST(InfoSwitches, UnwritableOutputFails) {
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  const char* help[] = {"rootix", "--help"};
  const char* other[] = {"rootix", "-run=32M"};
  EXPECT_EQ(app::handleInfoSwitches(2, const_cast<char**>(help), full), 1);
  EXPECT_EQ(app::handleInfoSwitches(2, const_cast<char**>(other), full), std::nullopt);
  std::fclose(full);
}

// The help text names every switch the program reads, and the version is the
// one in the window's title.
TEST(InfoSwitches, TextsMatchTheProgram) {
  const QString help = QString::fromUtf8(app::usageText());
  for (const char* word :
       {"-run=32M", "-run=1024M", "-stress=", "-save=", "-exit=", "--terminal", "--help", "--version"}) {
    EXPECT_TRUE(help.contains(QString::fromUtf8(word))) << word;
  }
  EXPECT_TRUE(console::kProductTitle.endsWith(QStringLiteral(" v" ROOTIX_VERSION)))
      << console::kProductTitle.toStdString();
}

}  // namespace
}  // namespace rootix::e2e
