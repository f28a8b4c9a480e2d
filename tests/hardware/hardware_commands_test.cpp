#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <optional>

#include "hardware/hardware_commands.h"
#include "hardware_test_support.h"
#include "support/shell_harness.h"

namespace rootix::hardware {
namespace {

using testing::FakeAbortKey;
using testing::FakeLauncher;
using testing::FakeWaiter;

const QByteArray kReport =
    "Processors\r\n----------\r\n\r\nNumber of sockets\t\t1\r\n\r\n"
    "Processors Information\r\n----------\r\n\r\n"
    "\tSpecification\t\tTest CPU\r\n"
    "\tNumber of threads\t%THREADS%\r\n"
    "\tClock Speed 0\t\t3411.53 MHz (Core #0)\r\n\r\n"
    "Chipset\r\n----------\r\n\r\nMemory Type\t\t\tDDR4\r\n";

class CommandsTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    launcher.onStart = [this] {
      QByteArray report = kReport;
      report.replace("%THREADS%", threads);
      waiter.at(waiter.now + 100, [this, report] { writeTemp(QStringLiteral("out.txt"), report); });
    };
    shell.interp.commands().add(QStringLiteral("gui"), [this](platform::CommandCall&) { ++guiOpened; });
    commands.registerAll(shell.interp.commands());
  }

  // The lines one command prints; no further line is read.
  QStringList run(const QString& line) {
    shell.sink.data.clear();
    shell.interp.doInput(line, true);
    return shell.sink.lines();
  }

  rootix::testing::ShellHarness shell;
  FakeWaiter waiter;
  FakeAbortKey key{waiter};
  FakeLauncher launcher;
  QByteArray threads = "8 (max 8)";
  int guiOpened = 0;
  bool revertToGui = false;
  HardwareCommands commands{
      HardwareConsole{[this](const QString& line) { shell.console.PrintLn(line); },
                      [this](const QString& line, bool noReturn) { shell.interp.doInput(line, noReturn); },
                      shell.accumulator.value},
      shell.threads,
      HardwareServices{.launcher = launcher,
                       .settings = shell.settings,
                       .dialogs = shell.dialogs,
                       .abortKey = key,
                       .resources = [](const QString& name) -> std::optional<QByteArray> {
                         if (name.compare(u"cpuz201.exe", Qt::CaseInsensitive) == 0) {
                           return QByteArray("tool");
                         }
                         return std::nullopt;
                       },
                       .abortable = true,
                       .unattendedLimitMs = 60000,
                       .waiter = &waiter,
                       .revertToGui = [this] { return revertToGui; }}};
};

// Before any scan the table is empty: "hwinfo" prints the key and an empty
// value, the thread count is 0.
TEST_F(CommandsTest, BeforeAnyScan) {
  EXPECT_EQ(run("hwinfo Chipset.Memory Type"), (QStringList{"Chipset.Memory Type", ""}));
  EXPECT_EQ(run("hwinfon Chipset.Memory Type"), (QStringList{"Chipset.Memory Type", "0"}));
  run("rootix=hardwarethreads");
  EXPECT_EQ(shell.accumulator.value, 0);
  shell.threads.set(5);
  run("setvistathread");
  EXPECT_EQ(shell.threads.value(), 0);
  EXPECT_EQ(run("refcpuz"),
            QStringList{"CPUz isn't installed. Please install for more accurate hardware information."});
}

TEST_F(CommandsTest, InstallScansAndCommandsReadTheResult) {
  const QStringList out = run("install   cpuz201.exe  ");
  ASSERT_GE(out.size(), 5);
  EXPECT_EQ(out.mid(0, 5), (QStringList{"Scanning resources", "Installing library, please wait.", "Registering library",
                                        "Library installed", "Gathering CPUz information"}));
  EXPECT_TRUE(out.contains("Thread Count = 8"));
  EXPECT_EQ(commands.hardwareThreads(), 8);
  EXPECT_EQ(commands.summary().score_extra_cpu_string, QStringLiteral("Test CPU"));
  EXPECT_EQ(commands.summary().score_extra_cpu_clock, QStringLiteral("3411.53 MHz"));
  EXPECT_EQ(guiOpened, 0);

  EXPECT_EQ(run("hwinfo Chipset.Memory Type"), (QStringList{"Chipset.Memory Type", "DDR4"}));
  EXPECT_EQ(run("HWINFON Processors Information.Clock Speed 0"),
            (QStringList{"Processors Information.Clock Speed 0", "3411.53"}));
  EXPECT_EQ(run("hwinfo"), (QStringList{"", ""}));  // no key at all
  run("rootix=hardwarethreads");
  EXPECT_EQ(shell.accumulator.value, 8);
  run("setvistathread");
  EXPECT_EQ(shell.threads.value(), 8);
}

TEST_F(CommandsTest, InstallThenBackToTheWindow) {
  revertToGui = true;
  run("install cpuz.ini");
  EXPECT_EQ(guiOpened, 1);
  EXPECT_EQ(commands.lastError(), QStringLiteral("Library not found."));
}

// A thread count beyond the 16-bit range is a reported failure.
TEST_F(CommandsTest, ThreadCountOutOfRange) {
  threads = "40000";
  run("install cpuz201.exe");
  EXPECT_EQ(commands.hardwareThreads(), 40000);
  // The error path then reads the next line ("exit" here).
  EXPECT_EQ(run("setvistathread").value(0), QStringLiteral("Error occured: 6."));
}

TEST_F(CommandsTest, RefreshAndCleanUp) {
  run("install cpuz201.exe");
  const QStringList refreshed = run("refcpuz");
  ASSERT_FALSE(refreshed.isEmpty());
  EXPECT_EQ(refreshed.front(), QStringLiteral("Gathering CPUz information"));
  EXPECT_EQ(launcher.calls.size(), 2u);

  EXPECT_EQ(run("cleanup"), (QStringList{"Deleting cpuz201.exe", "Rootix libraries and settings removed."}));
  EXPECT_EQ(run("refcpuz"),
            QStringList{"CPUz isn't installed. Please install for more accurate hardware information."});
  // The last scan's results stay until the next one.
  EXPECT_EQ(commands.hardwareThreads(), 8);
}

}  // namespace
}  // namespace rootix::hardware
