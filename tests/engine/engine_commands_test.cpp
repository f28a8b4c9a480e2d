#include "engine/engine_commands.h"

#include <gtest/gtest.h>

#include "engine/kernel_choice.h"
#include "engine_shell.h"

namespace rootix::engine {
namespace {

using fakes::EngineShell;

// What the console prints right after the typed line (in quick mode, so the
// started tests are tiny).
struct StCase {
  const char* typed;
  QStringList first;
  bool quick = true;
};

void PrintTo(const StCase& c, std::ostream* os) { *os << '"' << c.typed << '"'; }

class StCommand : public ::testing::TestWithParam<StCase> {};

TEST_P(StCommand, Arguments) {
  EngineShell e;
  e.runner->flags().quickMode = GetParam().quick;
  const QStringList lines = e.session({QString::fromUtf8(GetParam().typed)});
  ASSERT_GE(lines.size(), GetParam().first.size());
  EXPECT_EQ(lines.mid(0, GetParam().first.size()), GetParam().first) << lines.join(u'\n').toStdString();
  EXPECT_FALSE(e.runner->running());
}

const QString kTest6 = QStringLiteral("Calculating sqrts of first 33554431 numbers.");

INSTANTIATE_TEST_SUITE_P(
    Cases, StCommand,
    ::testing::Values(
        StCase{"ST 6", {kTest6}}, StCase{"St 6", {kTest6}}, StCase{"st 6", {kTest6}}, StCase{"st  6", {kTest6}},
        StCase{"st 6.5", {kTest6}}, StCase{"st 7.5", {QStringLiteral("Calculating sqrts of first 134217727 numbers.")}},
        StCase{"st6", {QStringLiteral("Unregistered command")}},
        StCase{" st 6", {QStringLiteral("Unregistered command")}}, StCase{"st 0", {QStringLiteral("Invalid test")}},
        StCase{"st 17", {QStringLiteral("Invalid test")}}, StCase{"st", {QStringLiteral("Invalid test")}},
        StCase{"st -5", {QStringLiteral("Invalid test")}}, StCase{"st 40000", {QStringLiteral("Error occured: 6.")}},
        StCase{"st 13",
               {QStringLiteral("Calculating sqrts of first 4294967295 numbers."), QStringLiteral("Error occured: 6.")},
               false},
        StCase{"st 16",
               {QStringLiteral("Calculating sqrts of first 34359738367 numbers."), QStringLiteral("Error occured: 6.")},
               false}));

TEST(EngineCommands, StartedTestRunsToTheEnd) {
  EngineShell e;
  e.runner->flags().quickMode = true;
  const QStringList lines = e.session({QStringLiteral("st 6.5")});
  EXPECT_TRUE(lines.contains(QStringLiteral("Thread 1 calculating from 0 to 32767 in THREAD#<id>.")));
  EXPECT_TRUE(lines.contains(QStringLiteral("Test completed successfully.")));
  EXPECT_EQ(e.shell.scoreBook.records().getRecord(6), 0) << "a quick-mode run is no score";
}

TEST(EngineCommands, Sqrt) {
  EngineShell e;
  EXPECT_EQ(e.session({QStringLiteral("sqrt 2"), QStringLiteral("sqrt 1055323"), QStringLiteral("sqrt"),
                       QStringLiteral("sqrt 3")}),
            QStringList({QStringLiteral("1.4142135623731"), QStringLiteral("sqrt 1055323"),
                         QStringLiteral("1027.28939447643"), QStringLiteral("sqrt"), QStringLiteral("0"),
                         QStringLiteral("sqrt 3"), QStringLiteral("1.73205080756888"), QStringLiteral("exit")}));
}

TEST(EngineCommands, TestMenu) {
  EngineShell e;
  e.runner->flags().quickMode = true;
  QStringList lines = e.session({QStringLiteral("lt"), QStringLiteral("6.5")});
  ASSERT_GE(lines.size(), 20);
  EXPECT_EQ(lines[0], QStringLiteral("Please select test."));
  EXPECT_EQ(lines[6], QStringLiteral("6.) 32M"));
  EXPECT_EQ(lines.mid(17, 3), QStringList({QStringLiteral("6.5"), QStringLiteral("6.5"), kTest6}));
  EXPECT_TRUE(lines.contains(QStringLiteral("Test completed successfully.")));

  EngineShell invalid;
  lines = invalid.session({QStringLiteral("lt"), QStringLiteral("0"), QStringLiteral("st 6")});
  EXPECT_EQ(lines.mid(17), QStringList({QStringLiteral("0"), QStringLiteral("Invalid Input"), QStringLiteral("st 6"),
                                        QStringLiteral("exit")}))
      << "the line after Invalid Input is read and not used";
}

TEST(EngineCommands, DebugTest) {
  EngineShell e;
  e.runner->flags().quickMode = true;
  const QStringList lines = e.session({QStringLiteral("qt")});
  EXPECT_EQ(lines.first(), QStringLiteral("Calculating sqrts of first 16383 numbers."));
  EXPECT_TRUE(lines.contains(QStringLiteral("Thread 1 calculating from 0 to 15 in THREAD#<id>.")));
  EXPECT_TRUE(lines.contains(QStringLiteral("Test completed successfully.")));
}

TEST(EngineCommands, InitThreadWaitsForTheWarmUpAndGoesOn) {
  EngineShell e;
  e.shell.threads.set(2);
  EXPECT_EQ(e.session({QStringLiteral("initthread"), QStringLiteral("echo after")}),
            QStringList({QStringLiteral("Initiating thread structure, please stand by."), QStringLiteral("echo after"),
                         QStringLiteral(" after"), QStringLiteral("exit")}));
  EXPECT_FALSE(e.shell.scoreBook.records().any());
}

TEST(EngineCommands, QuickAndCacheModeToggle) {
  EngineShell e;
  EXPECT_EQ(e.session({QStringLiteral("qm"), QStringLiteral("qm"), QStringLiteral("tc")}),
            QStringList({QStringLiteral("qm=True"), QStringLiteral("qm"), QStringLiteral("qm=False"),
                         QStringLiteral("tc"), QStringLiteral("Cache mode set to: True"), QStringLiteral("exit")}));
  EXPECT_FALSE(e.runner->flags().quickMode);
  EXPECT_TRUE(e.runner->flags().cache);
}

TEST(EngineCommands, StressCpu) {
  EngineShell e;
  EXPECT_EQ(e.session({QStringLiteral("stresscpu")}),
            QStringList({QStringLiteral("Stressing CPU to prevent false clock reading."), QStringLiteral("exit")}));
}

// The report is one console line holding CR LF line breaks; the mirror ends
// each of them as a line.
QStringList reportLines(const std::vector<ProcessorPackage>& packages) {
  QString text;
  for (size_t i = 0; i < packages.size(); ++i) {
    const auto& p = packages[i];
    text += QStringLiteral("CPU Found: CPU%1\r\nName:     %2\r\nSpeed:    %3 MHz\r\nL2 Cache: %4 KB\r\n")
                .arg(i)
                .arg(p.name)
                .arg(p.clockMHz)
                .arg(p.l2KB);
  }
  return text.split(QStringLiteral("\r\n"));
}

TEST(EngineCommands, ScanSystemSetsTheThreadCount) {
  EngineShell e;
  e.processors.list = {{QStringLiteral("Alpha"), 2400, 1024}, {QStringLiteral("Beta"), 2600, 2048}};
  e.shell.scoreBook.records().setRecord(6, 9.5);
  QStringList expected{QStringLiteral("Scanning System - Please stand by.")};
  expected += reportLines(e.processors.list);
  expected << QStringLiteral("2 CPU(s) detected. Optimizing calculation.") << QStringLiteral("exit");
  EXPECT_EQ(e.session({QStringLiteral("getbasichw")}), expected);
  EXPECT_EQ(e.shell.threads.value(), 2);
  EXPECT_FALSE(e.shell.scoreBook.records().any()) << "records hold times of another thread count";
}

TEST(EngineCommands, ScanSystemOnOnePackage) {
  EngineShell e;
  e.shell.threads.set(4);
  const QStringList lines = e.session({QStringLiteral("getbasichw")});
  EXPECT_TRUE(lines.contains(QStringLiteral("1 CPU(s) detected. Optimizing calculation.")));
  EXPECT_EQ(e.shell.threads.value(), 1);
}

TEST(EngineCommands, DetectionFailure) {
  const QStringList failure{
      QStringLiteral("Unable to access WMI object. Cannot detect CPU."),
      QStringLiteral("Setting default thread usage to 1. Please use ft <thread count> to match your platform.")};
  EngineShell e;
  e.processors.failing = true;
  e.shell.threads.set(4);
  EXPECT_EQ(e.session({QStringLiteral("getbasichw")}),
            QStringList({QStringLiteral("Scanning System - Please stand by.")}) + failure +
                QStringList({QStringLiteral("1 CPU(s) detected. Optimizing calculation."), QStringLiteral("exit")}));
  EXPECT_EQ(e.shell.threads.value(), 1);

  EngineShell empty;
  empty.processors.list.clear();
  empty.shell.threads.set(4);
  EXPECT_EQ(empty.session({QStringLiteral("refhw")}), failure + QStringList({QStringLiteral("exit")}));
  EXPECT_EQ(empty.shell.threads.value(), 1);
}

TEST(EngineCommands, RefreshHardware) {
  EngineShell e;
  e.processors.list = {{QStringLiteral("  Padded Name  "), 3700, 4096}, {QStringLiteral("Second"), 3700, 4096}};
  QStringList expected =
      reportLines({{QStringLiteral("Padded Name"), 3700, 4096}, {QStringLiteral("Second"), 3700, 4096}});
  expected << QStringLiteral("exit");
  EXPECT_EQ(e.session({QStringLiteral("refhw")}), expected);
  EXPECT_EQ(e.shell.threads.value(), 2);
}

class KernelCommand : public ::testing::Test {
 protected:
  static QString available() {
    QStringList names;
    for (Kernel k : availableKernels()) names << QString::fromStdString(kernelName(k));
    return QStringLiteral("Kernels: ") + names.join(QStringLiteral(", ")) + QStringLiteral(", auto");
  }
  static QString inUse(const std::string& description) {
    return QStringLiteral("Kernel in use: ") + QString::fromStdString(description);
  }
};

TEST_F(KernelCommand, ShowsForcesAndReleases) {
  EngineShell e;
  const std::string timed = kernelName(e.kernels.timed()) + " (timed)";
  const QStringList lines = e.session({QStringLiteral("kernel"), QStringLiteral("kernel  sse2/DIVIDE "),
                                       QStringLiteral("kernel"), QStringLiteral("kernel AUTO")});
  // Lines typed after the first are echoed.
  EXPECT_EQ(lines, QStringList({inUse(timed), available(), QStringLiteral("kernel  sse2/DIVIDE "),
                                inUse("SSE2/divide (forced)"), QStringLiteral("kernel"), inUse("SSE2/divide (forced)"),
                                available(), QStringLiteral("kernel AUTO"), inUse(timed), QStringLiteral("exit")}));
  EXPECT_EQ(e.kernels.forced(), std::nullopt);
}

TEST_F(KernelCommand, RefusesWhatItCannotRun) {
  EngineShell e;
  ASSERT_TRUE(e.kernels.force(Kernel{Isa::Scalar, Quotient::Divide}));
  const QStringList lines = e.session({QStringLiteral("kernel turbo"), QStringLiteral("kernel SSE2/fma")});
  EXPECT_EQ(lines,
            QStringList({QStringLiteral("Unknown kernel: turbo"), available(), QStringLiteral("kernel SSE2/fma"),
                         QStringLiteral("This processor cannot run SSE2/fma"), available(), QStringLiteral("exit")}));
  EXPECT_EQ(e.kernels.forced(), (Kernel{Isa::Scalar, Quotient::Divide})) << "unchanged";
}

// Keeps what each run started with.
class StartReporter : public RunReporter {
 public:
  std::vector<RunStart> starts;
  void runStarting(const RunStart& start) override { starts.push_back(start); }
  void runEnded(const RunResult&) override {}
};

// A kernel the command forces is what the next run computes with, and what it tells its
// reporters; the results are the same bits.
TEST_F(KernelCommand, RunOnForcedKernelGivesTheSameResults) {
  for (Kernel kernel : availableKernels()) {
    SCOPED_TRACE(kernelName(kernel));
    EngineShell e;
    StartReporter reporter;
    e.runner->addReporter(&reporter);
    e.runner->flags().quickMode = true;
    e.runner->flags().cache = true;
    const QStringList lines =
        e.session({QStringLiteral("kernel ") + QString::fromStdString(kernelName(kernel)), QStringLiteral("st 1"),
                   QStringLiteral("kernel auto"), QStringLiteral("st 1")});
    EXPECT_EQ(lines.filter(QStringLiteral("Test completed successfully.")).size(), 2)
        << lines.join(u'\n').toStdString();
    EXPECT_FALSE(lines.join(u'\n').contains(QStringLiteral("WARNING"))) << lines.join(u'\n').toStdString();
    ASSERT_EQ(reporter.starts.size(), 2u);
    EXPECT_EQ(reporter.starts[0].kernel, kernelName(kernel));
    EXPECT_TRUE(reporter.starts[0].kernelForced);
    EXPECT_EQ(reporter.starts[1].kernel, kernelName(e.kernels.timed()));
    EXPECT_FALSE(reporter.starts[1].kernelForced);
  }
}

}  // namespace
}  // namespace rootix::engine
