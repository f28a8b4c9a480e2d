#include "engine/test_runner.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <stdexcept>

#include "engine/result_array.h"
#include "engine_shell.h"
#include "platform/runtime_error.h"

namespace rootix::engine {
namespace {

using fakes::EngineShell;

QStringList linesStartingWith(const QStringList& lines, const QString& prefix) {
  QStringList out;
  for (const QString& l : lines) {
    if (l.startsWith(prefix)) out << l;
  }
  return out;
}

TEST(TestRunner, OneWorkerTranscript) {
  EngineShell e;
  e.clock.step = 0.001;
  e.runner->flags().quickMode = true;
  EXPECT_EQ(
      e.session({QStringLiteral("st 1")}),
      QStringList({QStringLiteral("Calculating sqrts of first 1048575 numbers."),
                   QStringLiteral("Thread 1 calculating from 0 to 1023 in THREAD#<id>."),
                   QStringLiteral("Thread 1 complete with 0 errors!"), QStringLiteral("Time taken: 0.001 seconds"),
                   QStringLiteral("Process completed in 0.002 seconds."),
                   QStringLiteral("Test completed successfully."), QStringLiteral("exit")}));
  EXPECT_FALSE(e.runner->running());
  EXPECT_EQ(e.shell.scoreBook.records().getRecord(1), 0) << "a quick-mode run is no score";
}

TEST(TestRunner, FourWorkersSplitTest1) {
  EngineShell e;
  e.shell.threads.set(4);
  const QStringList lines = e.session({QStringLiteral("st 1")});
  QStringList starts = linesStartingWith(lines, QStringLiteral("Thread "));
  starts = starts.filter(QStringLiteral("calculating"));
  starts.sort();
  EXPECT_EQ(starts, QStringList({QStringLiteral("Thread 1 calculating from 0 to 262144 in THREAD#<id>."),
                                 QStringLiteral("Thread 2 calculating from 262144 to 524288 in THREAD#<id>."),
                                 QStringLiteral("Thread 3 calculating from 524288 to 786431 in THREAD#<id>."),
                                 QStringLiteral("Thread 4 calculating from 786431 to 1048575 in THREAD#<id>.")}));
  EXPECT_EQ(lines.filter(QStringLiteral("complete with 0 errors!")).size(), 4);
  EXPECT_TRUE(lines.contains(QStringLiteral("Test completed successfully.")));
}

// Records: a successful run keeps the lower time; a run with errors never
// counts, and neither does a quick-mode run (a 1,024th of the test).
struct RecordCase {
  const char* name;
  double previous;
  double step;  // the run's time is a whole number of clock steps
  bool withErrors;
  bool quick;
  bool takesRun;  // the record becomes the run's time; else stays `previous`
  const char* verdict;
};

void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }

class Records : public ::testing::TestWithParam<RecordCase> {};

TEST_P(Records, UpdatedOnlyByBetterSuccessfulFullRuns) {
  const RecordCase& c = GetParam();
  EngineShell e(c.withErrors ? fakes::sometimesNonConvergentKernel : nullptr);
  e.runner->flags().quickMode = c.quick;
  e.shell.scoreBook.records().setRecord(1, c.previous);
  e.clock.step = c.step;
  const QStringList lines = e.session({QStringLiteral("st 1")});
  EXPECT_TRUE(lines.contains(QString::fromUtf8(c.verdict))) << lines.join(u'\n').toStdString();
  ASSERT_EQ(e.listener.finished.size(), 1u);
  const RunResult& told = e.listener.finished.front();
  EXPECT_EQ(told.test, 1);
  EXPECT_FALSE(told.quiet);
  EXPECT_EQ(told.errors, c.withErrors);
  EXPECT_EQ(told.quickMode, c.quick);
  EXPECT_NEAR(e.shell.scoreBook.records().getRecord(1), c.takesRun ? told.seconds : c.previous, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Records,
    ::testing::Values(RecordCase{"Better", 1000, 1, false, false, true, "Test completed successfully."},
                      RecordCase{"Worse", 0.5, 1, false, false, false, "Test completed successfully."},
                      RecordCase{"First", 0, 1, false, false, true, "Test completed successfully."},
                      RecordCase{"BetterWithErrors", 1000, 1, true, false, false,
                                 "Test completed, errors were detected."},
                      RecordCase{"FirstWithErrors", 0, 1, true, false, false, "Test completed, errors were detected."},
                      RecordCase{"FirstInQuickMode", 0, 1, false, true, false, "Test completed successfully."},
                      RecordCase{"BetterInQuickMode", 1000, 1, false, true, false, "Test completed successfully."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TestRunner, DebugTestNeverTouchesRecords) {
  EngineShell e;
  e.session({QStringLiteral("qt")});
  EXPECT_FALSE(e.shell.scoreBook.records().any());
}

TEST(TestRunner, QuietRunPrintsNothingAndLeavesTheConsoleAlone) {
  EngineShell e;
  e.shell.threads.set(3);
  e.runner->InitThreads();
  EXPECT_EQ(e.printed(), QStringList({QStringLiteral("Initiating thread structure, please stand by.")}));
  EXPECT_FALSE(e.runner->running());
  ASSERT_EQ(e.listener.finished.size(), 1u);
  EXPECT_TRUE(e.listener.finished.front().quiet);
  EXPECT_EQ(e.listener.finished.front().test, -5);
  EXPECT_TRUE(e.shell.console.pendingInput().isEmpty());
  EXPECT_FALSE(e.shell.interp.stopped());
}

TEST(TestRunner, GetTimeStartsTheClockOnFirstUse) {
  EngineShell e;
  e.clock.step = 0.003;
  EXPECT_EQ(e.runner->GetTime(), 0);
  EXPECT_NEAR(e.runner->GetTime(), 0.003, 1e-12);
  EXPECT_EQ(e.runner->GetTime(true), 0);
}

TEST(TestRunner, HandsBackToPausedInput) {
  EngineShell e;
  e.runner->flags().quickMode = true;
  e.shell.console.pauseInput();
  e.shell.console.queueLine(QStringLiteral("echo queued"));
  e.runTest(1);
  e.waitUntilSettled();
  const QStringList lines = e.printed();
  const qsizetype done = lines.indexOf(QStringLiteral("Test completed successfully."));
  ASSERT_GE(done, 0);
  EXPECT_EQ(lines.mid(done + 1),
            QStringList({QStringLiteral("Input resumed"), QStringLiteral(" queued"), QStringLiteral("exit")}));
}

TEST(TestRunner, ListenerThatHandsOverKeepsTheConsoleQuiet) {
  EngineShell e;
  e.runner->flags().quickMode = true;
  e.listener.handOver = true;
  e.shell.face.lines = {QStringLiteral("echo never read")};
  e.runTest(1);
  platform::pumpEvents();
  ASSERT_EQ(e.listener.finished.size(), 1u);
  EXPECT_EQ(e.printed().last(), QStringLiteral("Test completed successfully.")) << "no console line is read";
  EXPECT_EQ(e.shell.face.lines.size(), 1u);
}

TEST(TestRunner, VerifiesTest1Cleanly) {
  EngineShell e;
  e.runner->flags().cache = true;
  e.shell.threads.set(2);
  const QStringList lines = e.session({QStringLiteral("st 1")});
  EXPECT_TRUE(lines.filter(QStringLiteral("WARNING")).isEmpty());
  for (int thread : {1, 2}) {
    EXPECT_TRUE(lines.contains(QStringLiteral("Verifying results for thread %1").arg(thread)));
    EXPECT_TRUE(lines.contains(QStringLiteral("Verification Complete for thread %1").arg(thread)));
  }
  EXPECT_EQ(lines.filter(QStringLiteral("Verification is 20% complete @ ")).size(), 2);
  EXPECT_EQ(lines.filter(QStringLiteral("Verification is 80% complete @ ")).size(), 2);
  EXPECT_TRUE(lines.contains(QStringLiteral("Test completed successfully.")));
}

// Every stored result from 1,055,323 on squares to the next number up; the
// check reports each one, and they do not make the run fail.
TEST(TestRunner, VerificationWarnsFrom1055323InTest2) {
  EngineShell e;
  e.shell.console.setPumpEvents(false);
  e.runner->flags().cache = true;
  e.shell.threads.set(2);
  const QStringList lines = e.session({QStringLiteral("st 2")});
  const QStringList warnings = lines.filter(QStringLiteral("WARNING: Incorrect result stored for sqrt("));
  EXPECT_EQ(warnings.size(), 2097151 - 1055323 + 1);
  ASSERT_FALSE(warnings.isEmpty());
  EXPECT_EQ(warnings.first(), QStringLiteral("WARNING: Incorrect result stored for sqrt(1055323)"));
  EXPECT_EQ(warnings.last(), QStringLiteral("WARNING: Incorrect result stored for sqrt(2097151)"));
  EXPECT_TRUE(lines.contains(QStringLiteral("Test completed successfully.")));
  EXPECT_GT(e.shell.scoreBook.records().getRecord(2), 0);
}

// One worker's verification, as output() prints it: the worker's first number
// is checked with the value it kept, not the shared slot.
struct OutputCase {
  const char* name;
  int32_t lo;
  int32_t hi;
  int32_t badNumber;  // its slot holds a wrong root (-1: none)
  QStringList expected;
};

void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.name; }

class Output : public ::testing::TestWithParam<OutputCase> {};

TEST_P(Output, WarningsAndMarks) {
  const OutputCase& c = GetParam();
  EngineShell e;
  e.clock.step = 0.001;
  e.runner->flags().cache = true;
  std::vector<double> values(static_cast<size_t>(c.hi) + 1);
  for (int32_t i = 0; i <= c.hi; ++i) values[size_t(i)] = std::sqrt(double(i));
  if (c.badNumber >= 0) values[size_t(c.badNumber)] = 100;
  const double lowValue = std::sqrt(double(c.lo));
  values[size_t(c.lo)] = -5;  // the neighbour has not written it yet
  e.runner->output(WorkerResults{values.data(), c.lo, c.hi, lowValue}, 3);
  EXPECT_EQ(e.printed(), c.expected);
}

QStringList verification(std::initializer_list<const char*> middle) {
  QStringList lines{QStringLiteral("Verifying results for thread 3")};
  for (const char* m : middle) lines << QString::fromUtf8(m);
  lines << QStringLiteral("Verification Complete for thread 3");
  return lines;
}

INSTANTIATE_TEST_SUITE_P(Cases, Output,
                         ::testing::Values(OutputCase{"OneNumber", 7, 7, -1,
                                                      verification({"Verification is 20% complete @ 0 seconds"})},
                                           OutputCase{"TwoNumbers", 5, 6, -1,
                                                      verification({"Verification is 20% complete @ 0 seconds",
                                                                    "Verification is 60% complete @ 0.001 seconds"})},
                                           OutputCase{"ThreeNumbersOneBad", 0, 2, 1,
                                                      verification({"Verification is 20% complete @ 0 seconds",
                                                                    "WARNING: Incorrect result stored for sqrt(1)",
                                                                    "Verification is 40% complete @ 0.001 seconds",
                                                                    "Verification is 80% complete @ 0.002 seconds"})},
                                           OutputCase{"ElevenNumbersLastBad", 10, 20, 20,
                                                      verification({"Verification is 20% complete @ 0 seconds",
                                                                    "Verification is 40% complete @ 0.001 seconds",
                                                                    "Verification is 60% complete @ 0.002 seconds",
                                                                    "Verification is 80% complete @ 0.003 seconds",
                                                                    "WARNING: Incorrect result stored for sqrt(20)"})}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TestRunner, CacheSwitchedOffDuringTheRunOnlyStores) {
  EngineShell e;
  e.runner->flags().cache = true;
  e.runner->StartTest(1, false);
  e.runner->flags().cache = false;
  platform::waitUntil([&] { return !e.runner->running(); }, 10, 60000);
  const QStringList lines = e.printed();
  EXPECT_TRUE(lines.filter(QStringLiteral("Verif")).isEmpty());
  EXPECT_TRUE(lines.contains(QStringLiteral("Test completed successfully.")));
}

TEST(TestRunner, BackwardsClockEndsTheProgram) {
  EngineShell e;
  e.clock.script = {100, 101, 102, 50};
  const QStringList lines = e.session({QStringLiteral("st 1")});
  EXPECT_EQ(lines, QStringList({QStringLiteral("Calculating sqrts of first 1048575 numbers."),
                                QStringLiteral("Thread 1 calculating from 0 to 1048575 in THREAD#<id>."),
                                QStringLiteral("Cheat detected.")}));
  EXPECT_EQ(e.endStatuses, std::vector<int>{1});
  EXPECT_FALSE(e.runner->running());
  EXPECT_FALSE(e.shell.scoreBook.records().any());
}

void throwingKernel(double first, std::int64_t count, double* out) {
  if (first + double(count) > 500) throw std::runtime_error("kernel broke");
  fakes::newtonKernel(first, count, out);
}

TEST(TestRunner, FailureInsideAWorkerIsReportedBeforeTheEnd) {
  EngineShell e(throwingKernel);
  e.shell.threads.set(2);
  e.runner->flags().quickMode = true;
  const QStringList lines = e.session({QStringLiteral("st 1")});
  EXPECT_EQ(lines.filter(QStringLiteral(" failed (kernel broke). The test cannot go on.")).size(), 1)
      << lines.join(u'\n').toStdString();
  EXPECT_EQ(e.endStatuses, std::vector<int>{1});
  EXPECT_FALSE(e.runner->running());
  EXPECT_TRUE(lines.filter(QStringLiteral("Test completed")).isEmpty());
}

TEST(TestRunner, OutOfMemoryStartsNothing) {
  EngineShell e;
  e.availableMemory = std::int64_t{1} << 20;
  e.runner->flags().cache = true;
  e.shell.threads.set(4);
  const QStringList lines = e.session({QStringLiteral("st 1")});
  EXPECT_EQ(lines, QStringList({QStringLiteral("Calculating sqrts of first 1048575 numbers."),
                                QStringLiteral("Error occured: 7."), QStringLiteral("exit")}));
  EXPECT_FALSE(e.runner->running());
  EXPECT_EQ(e.runner->liveWorkers(), 0);
}

TEST(TestRunner, WithoutThreadsTheStartFails) {
  EngineShell e;
  e.shell.threads.set(0);
  EXPECT_EQ(e.session({QStringLiteral("st 1")}),
            QStringList({QStringLiteral("Calculating sqrts of first 1048575 numbers."),
                         QStringLiteral("Error occured: 11."), QStringLiteral("exit")}));
  EXPECT_FALSE(e.runner->running());
}

// Refused through the interpreter's error path, which reads the next line;
// the first run still holds the console after it, so the chain stops there.
TEST(TestRunner, SecondStartDuringARunIsRefused) {
  EngineShell e;
  e.runner->StartTest(3, false);
  e.shell.face.lines = {QStringLiteral("echo read after the error")};
  e.shell.interp.doInput(QStringLiteral("st 1"), true);
  EXPECT_TRUE(e.runner->running());
  EXPECT_TRUE(e.shell.face.lines.empty());
  EXPECT_EQ(e.printed().filter(QStringLiteral("Error occured: 5.")).size(), 1);
  e.waitUntilSettled();
  const QStringList lines = e.printed();
  EXPECT_EQ(lines.filter(QStringLiteral("Calculating sqrts")).size(), 1);
  EXPECT_TRUE(lines.contains(QStringLiteral("Test completed successfully.")));
  EXPECT_GT(e.shell.scoreBook.records().getRecord(3), 0);
}

// 4096 workers, most of them on a range of a single shared number.
struct ManyThreadsCase {
  const char* name;
  bool quick;
  bool cache;
};

void PrintTo(const ManyThreadsCase& c, std::ostream* os) { *os << c.name; }

class ManyThreads : public ::testing::TestWithParam<ManyThreadsCase> {};

TEST_P(ManyThreads, DebugTestOn4096Workers) {
  EngineShell e;
  e.shell.console.setPumpEvents(false);
  e.shell.threads.set(4096);
  e.runner->flags().quickMode = GetParam().quick;
  e.runner->flags().cache = GetParam().cache;
  const QStringList lines = e.session({QStringLiteral("qt")});
  EXPECT_EQ(lines.filter(QStringLiteral(" calculating from ")).size(), 4096);
  EXPECT_EQ(lines.filter(QStringLiteral(" complete with 0 errors!")).size(), 4096);
  EXPECT_TRUE(lines.filter(QStringLiteral("WARNING")).isEmpty());
  EXPECT_EQ(lines.filter(QStringLiteral("Verification Complete for thread ")).size(), GetParam().cache ? 4096 : 0);
  const QString last = GetParam().quick ? QStringLiteral("Thread 4096 calculating from 15 to 15 in THREAD#<id>.")
                                        : QStringLiteral("Thread 4096 calculating from 16379 to 16383 in THREAD#<id>.");
  EXPECT_TRUE(lines.contains(last));
  EXPECT_TRUE(lines.contains(QStringLiteral("Test completed successfully.")));
  EXPECT_EQ(lines.last(), QStringLiteral("exit"));
  e.runner->waitForWorkers();
  EXPECT_EQ(e.runner->liveWorkers(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ManyThreads,
                         ::testing::Values(ManyThreadsCase{"Quick", true, false},
                                           ManyThreadsCase{"QuickCached", true, true},
                                           ManyThreadsCase{"FullCached", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct MemoryCase {
  const char* name;
  bool known;
  std::int64_t spare;  // available beyond what 1M doubles require
  bool granted;
};

void PrintTo(const MemoryCase& c, std::ostream* os) { *os << c.name; }

class ResultArrayMemory : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(ResultArrayMemory, RefusesWithoutHeadroom) {
  constexpr std::int64_t kCount = 1 << 20;
  const std::int64_t need = ResultArray::requiredAvailable(kCount);
  const std::int64_t available = GetParam().known ? need + GetParam().spare : -1;
  try {
    ResultArray array = ResultArray::allocate(kCount, [=] { return available; });
    EXPECT_TRUE(GetParam().granted);
    ASSERT_TRUE(array);
    EXPECT_EQ(array.data()[0], 0);
    EXPECT_EQ(array.data()[kCount - 1], 0);
  } catch (const RuntimeError& err) {
    EXPECT_FALSE(GetParam().granted);
    EXPECT_EQ(err.code(), kOutOfMemory);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ResultArrayMemory,
                         ::testing::Values(MemoryCase{"Exactly", true, 0, true},
                                           MemoryCase{"OneByteShort", true, -1, false},
                                           MemoryCase{"Unknown", false, 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Faulting the pages in ahead of a run leaves the array as created: every value zero.
TEST(ResultArrayPrefault, KeepsEveryValueZero) {
  // 8 MiB and a few doubles: one slice, ending inside a page.
  constexpr std::int64_t kCount = (std::int64_t{8} << 20) / 8 + 3;
  ResultArray array = ResultArray::allocate(kCount, [] { return std::int64_t{-1}; });
  int slices = 0;
  array.prefault([&] { ++slices; });
  EXPECT_EQ(slices, 1);
  for (std::int64_t i = 0; i < kCount; i += 4093) ASSERT_EQ(std::bit_cast<std::uint64_t>(array.data()[i]), 0u) << i;
  EXPECT_EQ(array.data()[kCount - 1], 0.0);
}

}  // namespace
}  // namespace rootix::engine
