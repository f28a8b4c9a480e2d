#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <bit>
#include <mutex>
#include <thread>

#include "engine/newton.h"
#include "engine/range_kernel.h"
#include "engine/stress_hash.h"
#include "engine/stress_options.h"
#include "engine/stress_reference.h"
#include "engine/stress_run.h"
#include "engine/stress_system.h"

namespace rootix::engine {
namespace {

// ---- The reference and its hash ----

// The committed table against the scalar procedure: both ends of the table and both sides of
// the boundary between tests 11 and 12 (the tool checks wider slices in ctest).
TEST(StressReference, MatchesTheScalarProcedureOnSlices) {
  for (int block : {0, 1, 1023, 1024, 2047}) EXPECT_EQ(scalarBlockHash(block), stressReference(block)) << block;
}

TEST(StressReference, BlocksPerTest) {
  EXPECT_EQ(stressBlocksOfTest(1), 1);
  EXPECT_EQ(stressBlocksOfTest(6), 32);
  EXPECT_EQ(stressBlocksOfTest(11), 1024);
  EXPECT_EQ(stressBlocksOfTest(12), kStressBlocks);
  EXPECT_FALSE(stressBlocksOfTest(0));
  EXPECT_FALSE(stressBlocksOfTest(13));
}

TEST(StressHash, SeesEveryBitAndEveryPlaceButNotThePieces) {
  std::vector<double> values(4096);
  computeRange(Isa::SSE2, 1000.0, std::ssize(values), values.data());
  const std::uint64_t whole = stressHash(1000, values.data(), std::ssize(values));

  StressHash pieces(1000);
  pieces.add(values.data(), 8);
  pieces.add(values.data() + 8, 4088 - 8);
  pieces.add(values.data() + 4088, 8);
  EXPECT_EQ(pieces.value(), whole);

  // The same results said to belong to other numbers.
  EXPECT_NE(stressHash(1008, values.data(), std::ssize(values)), whole);
  // Two results swapped.
  std::swap(values[3], values[11]);
  EXPECT_NE(stressHash(1000, values.data(), std::ssize(values)), whole);
  std::swap(values[3], values[11]);
  for (int bit : {0, 1, 31, 32, 52, 62, 63}) {
    for (std::size_t at : {std::size_t{0}, std::size_t{7}, std::size_t{2049}, values.size() - 1}) {
      std::vector<double> wrong = values;
      wrong[at] = std::bit_cast<double>(std::bit_cast<std::uint64_t>(wrong[at]) ^ (std::uint64_t{1} << bit));
      EXPECT_NE(stressHash(1000, wrong.data(), std::ssize(wrong)), whole) << "bit " << bit << " at " << at;
    }
  }
}

// ---- Arguments ----

TEST(StressOptions, Durations) {
  const struct {
    const char* text;
    double seconds;  // 0: refused
  } cases[] = {
      {"45", 45},  {"30s", 30}, {"10m", 600}, {"2h", 7200}, {"8760h", kStressLongestSeconds},
      {"0", 0},    {"0s", 0},   {"-1", 0},    {"abc", 0},   {"10x", 0},
      {"1e9h", 0}, {"", 0},     {"m", 0},     {"8761h", 0}, {"1.5m", 0},
      {" 5", 0},   {"5 ", 0},   {"+5", 0},    {"10M", 0},   {"999999999999999h", 0},
  };
  for (const auto& c : cases) {
    std::string problem;
    const auto seconds = parseStressDuration(c.text, problem);
    if (c.seconds > 0) {
      EXPECT_EQ(seconds, c.seconds) << c.text;
      EXPECT_TRUE(problem.empty()) << c.text;
    } else {
      EXPECT_FALSE(seconds) << c.text;
      EXPECT_EQ(problem, std::string("Invalid duration \"") + c.text +
                             "\": give whole seconds, or a whole number with s, m or h (30s, 10m, 2h), more than 0 "
                             "and at most a year");
    }
  }
}

TEST(StressOptions, TestsOutsideTheReferenceAreRefused) {
  for (const char* text : {"0", "13", "16", "-1", "abc", "", "1.0"}) {
    std::string problem;
    EXPECT_FALSE(parseStressTest(text, problem)) << text;
    EXPECT_EQ(problem, std::string("Invalid stress test \"") + text +
                           "\": only tests 1 to 12 have known answers to check against");
  }
  std::string problem;
  EXPECT_EQ(parseStressTest("1", problem), 1);
  EXPECT_EQ(parseStressTest("12", problem), 12);
}

TEST(StressOptions, ConsoleWordsAndSwitchValue) {
  std::string problem;
  auto r = parseStressWords(" 11  10m ", problem);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->test, 11);
  EXPECT_EQ(r->seconds, 600);
  EXPECT_FALSE(r->cycle);
  r = parseStressWords("6 30s cycle", problem);
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->cycle);
  r = parseStressSwitch("11:2h:cycle", problem);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->seconds, 7200);
  EXPECT_TRUE(r->cycle);

  const struct {
    const char* text;
    bool isSwitch;
    const char* problem;
  } refused[] = {
      {"", false, "Usage: stress <test 1-12> <duration: 30s, 10m, 2h> [cycle]"},
      {"11", false, "Usage: stress <test 1-12> <duration: 30s, 10m, 2h> [cycle]"},
      {"11 10m cycle more", false, "Usage: stress <test 1-12> <duration: 30s, 10m, 2h> [cycle]"},
      {"11 10m round", false, "Unknown stress test option \"round\" (only \"cycle\" is known)"},
      {"13 10m", false, "Invalid stress test \"13\": only tests 1 to 12 have known answers to check against"},
      {"11:", true,
       "Invalid duration \"\": give whole seconds, or a whole number with s, m or h (30s, 10m, 2h), more than 0 and "
       "at most a year"},
      {"11", true, "Usage: -stress=<test 1-12>:<duration: 30s, 10m, 2h>[:cycle]"},
      {"11:10m:cycle:x", true, "Usage: -stress=<test 1-12>:<duration: 30s, 10m, 2h>[:cycle]"},
  };
  for (const auto& c : refused) {
    std::string why;
    EXPECT_FALSE(c.isSwitch ? parseStressSwitch(c.text, why) : parseStressWords(c.text, why)) << c.text;
    EXPECT_EQ(why, c.problem) << c.text;
  }
}

TEST(StressOptions, Injection) {
  std::string problem;
  EXPECT_FALSE(parseStressInjection(nullptr, problem));
  EXPECT_FALSE(parseStressInjection("", problem));
  EXPECT_TRUE(problem.empty());
  const auto inject = parseStressInjection("3:1048575", problem);
  ASSERT_TRUE(inject);
  EXPECT_EQ(inject->pass, 3);
  EXPECT_EQ(inject->number, 1048575);
  for (const char* bad : {"3", "0:5", "a:5", "3:-5", "3:2147483648", "3:5:7"}) {
    std::string why;
    EXPECT_FALSE(parseStressInjection(bad, why)) << bad;
    EXPECT_EQ(why, std::string("ROOTIX_STRESS_INJECT=") + bad +
                       " is ignored: it takes <pass>:<number>, a pass from 1 and a number 0 to 2147483647");
  }
}

// ---- Verdicts ----

TEST(StressVerdict, LinesAndExitStatuses) {
  using End = StressOutcome::End;
  const struct {
    StressOutcome outcome;
    const char* line;
    int status;
  } cases[] = {
      {{End::Passed, false, 12, 12582912, 0, 600.0004, -1, 0, {}},
       "Stress test passed: 12 passes, 12582912 numbers, 0 errors in 600 s",
       0},
      {{End::Passed, false, 1, 1048576, 0, 2.5, -1, 0, {}},
       "Stress test passed: 1 pass, 1048576 numbers, 0 errors in 2.5 s",
       0},
      {{End::Failed, false, 3, 3145728, 1, 9, 5, 2, {5}},
       "Stress test failed: 1 error in 3 passes, first on CPU 5 in pass 2",
       4},
      {{End::Failed, true, 4, 4194304, 7, 9, 3, 1, {1, 3}},
       "Stress test failed: 7 errors in 4 passes, first on CPU 3 in pass 1; errors on CPU 1, CPU 3",
       4},
      {{End::Stopped, false, 2, 2621440, 0, 1.25, -1, 0, {}},
       "Stress test stopped: 2 passes, 2621440 numbers, 0 errors in 1.25 s",
       5},
      {{End::Stopped, false, 0, 1048576, 1, 1, 0, 1, {0}},
       "Stress test stopped: 0 passes, 1048576 numbers, 1 error in 1 s",
       4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(stressVerdictLine(c.outcome), c.line);
    EXPECT_EQ(stressExitStatus(c.outcome), c.status) << c.line;
  }
}

// ---- The runner ----

// Processors as a test lays them out; records every pin, reads fixed sensors.
class FakeSystem : public StressSystem {
 public:
  std::vector<int> cpus{0};
  std::optional<double> mhz;
  std::optional<double> celsius;
  std::mutex mutex;
  std::vector<int> pins;

  std::vector<int> allowedCpus() override { return cpus; }
  bool pinCurrentThread(int cpu) override {
    std::lock_guard lock(mutex);
    pins.push_back(cpu);
    return true;
  }
  int currentCpu() override { return -1; }
  std::optional<double> averageClockMHz(const std::vector<int>&) override { return mhz; }
  std::optional<double> hottestCelsius() override { return celsius; }
};

// Time moves only as blocks are computed: a second per block (kernel calls are pieces of 8192).
class BlockClock : public platform::Clock {
 public:
  std::atomic<std::int64_t> pieces{0};
  double now() override { return double(pieces.load()) * 8192 / kStressBlockNumbers; }
};

class StressRunTest : public ::testing::Test {
 protected:
  StressPlan plan(int test, double seconds, int workers = 1, bool cycle = false) {
    StressPlan p;
    p.request = StressRequest{test, seconds, cycle};
    p.workers = workers;
    p.cpus = system.cpus;
    p.compute = [this](double first, std::int64_t count, double* out) {
      computeRange(Isa::SSE2, first, count, out);
      if (onPiece) onPiece(first);
      clock.pieces.fetch_add(1);
    };
    return p;
  }

  // Runs to the verdict; returns every line.
  std::vector<std::string> runToEnd(StressRun& run) {
    std::vector<std::string> lines;
    run.start();
    while (!run.finished()) {
      for (std::string& line : run.poll()) lines.push_back(std::move(line));
      if (!run.finished()) run.waitForNews(20);
    }
    return lines;
  }

  static std::string errorLine(std::int64_t pass, int thread, int cpu, std::int64_t number) {
    const std::uint64_t right = std::bit_cast<std::uint64_t>(Newton().Sqrt(double(number)));
    char text[200];
    std::snprintf(text, sizeof text,
                  "ERROR: pass %lld, thread %d, CPU %d: sqrt(%lld) gave 0x%016llx, expected 0x%016llx",
                  static_cast<long long>(pass), thread, cpu, static_cast<long long>(number),
                  static_cast<unsigned long long>(right ^ 1), static_cast<unsigned long long>(right));
    return text;
  }

  FakeSystem system;
  BlockClock clock;
  std::function<void(double first)> onPiece;
};

TEST_F(StressRunTest, PassesUntilTheDurationThenPasses) {
  system.cpus = {4, 6};
  system.mhz = 4712.4;
  system.celsius = 81.2;
  // Two blocks a pass on two workers: about a second a pass; no new pass after 3 s.
  StressRun run(plan(2, 3, 2), system, clock);
  const auto lines = runToEnd(run);
  const StressOutcome o = run.outcome();
  EXPECT_EQ(o.end, StressOutcome::End::Passed);
  EXPECT_EQ(o.errors, 0);
  ASSERT_GE(o.passes, 2);
  EXPECT_EQ(o.numbers, o.passes * 2 * kStressBlockNumbers);
  ASSERT_EQ(std::ssize(lines), o.passes);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string start = "Pass " + std::to_string(i + 1) + ": ";
    EXPECT_EQ(lines[i].substr(0, start.size()), start) << lines[i];
    EXPECT_TRUE(lines[i].ends_with(" s, 0 errors, 4712 MHz, 81 \u00B0C")) << lines[i];
  }
  std::sort(system.pins.begin(), system.pins.end());
  EXPECT_EQ(system.pins, (std::vector<int>{4, 6}));
}

// More workers than the affinity mask has processors: round robin over it.
TEST_F(StressRunTest, SmallAffinityMaskIsSharedRoundRobin) {
  system.cpus = {3};
  StressRun run(plan(2, 1, 3), system, clock);
  runToEnd(run);
  EXPECT_EQ(run.outcome().end, StressOutcome::End::Passed);
  EXPECT_EQ(system.pins, (std::vector<int>{3, 3, 3}));
}

// An injected fault is found in its pass and named with the value it produced, whether it is the
// first or last number of a block, of the test, or in the last pass.
TEST_F(StressRunTest, InjectedFaultIsFoundAndLocated) {
  const struct {
    std::int64_t pass;
    std::int64_t number;
  } faults[] = {{1, 0}, {1, 1048575}, {2, 1048576}, {1, 2097151}, {2, 3}};
  for (const auto& f : faults) {
    clock.pieces = 0;
    system.cpus = {7};
    StressPlan p = plan(2, 3);  // exactly two passes of 2 s: the second is the last
    p.injection = StressInjection{f.pass, f.number};
    StressRun run(p, system, clock);
    const auto lines = runToEnd(run);
    const StressOutcome o = run.outcome();
    ASSERT_EQ(o.passes, 2) << f.number;
    EXPECT_EQ(o.end, StressOutcome::End::Failed);
    EXPECT_EQ(o.errors, 1);
    std::vector<std::string> errorLines;
    for (const auto& line : lines) {
      if (line.starts_with("ERROR")) errorLines.push_back(line);
    }
    EXPECT_EQ(errorLines, std::vector<std::string>{errorLine(f.pass, 1, 7, f.number)});
    EXPECT_TRUE(std::find(lines.begin(), lines.end(), "Pass " + std::to_string(f.pass) + ": 2 s, 1 error") !=
                lines.end());
    EXPECT_EQ(stressVerdictLine(o),
              "Stress test failed: 1 error in 2 passes, first on CPU 7 in pass " + std::to_string(f.pass));
    EXPECT_EQ(stressExitStatus(o), 4);
  }
}

// A kernel that gets a whole piece wrong once: every wrong number is counted, the first ones
// printed and the rest summed up in one line; the next pass is clean again.
TEST_F(StressRunTest, ManyWrongResultsAreCountedAndCapped) {
  std::atomic<bool> once{true};
  StressPlan p = plan(1, 2);
  p.errorLinesPerBlock = 3;
  p.compute = [this, &once](double first, std::int64_t count, double* out) {
    computeRange(Isa::SSE2, first, count, out);
    if (first == 8192 && once.exchange(false)) {
      for (std::int64_t i = 0; i < count; ++i) out[i] += 1;
    }
    clock.pieces.fetch_add(1);
  };
  StressRun run(p, system, clock);
  const auto lines = runToEnd(run);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(lines[0].starts_with("ERROR: pass 1, thread 1, CPU 0: sqrt(8192) gave "));
  EXPECT_TRUE(lines[2].starts_with("ERROR: pass 1, thread 1, CPU 0: sqrt(8194) gave "));
  EXPECT_EQ(lines[3], "ERROR: pass 1, thread 1, CPU 0: 8189 more wrong results in numbers 0 .. 1048575");
  EXPECT_EQ(lines[4], "Pass 1: 1 s, 8192 errors");
  EXPECT_EQ(lines[5], "Pass 2: 1 s, 0 errors");
  EXPECT_EQ(run.outcome().errors, 8192);
}

// Stopped in the middle of a pass: the current block is finished and checked, nothing after it.
TEST_F(StressRunTest, StopEndsAfterTheCurrentBlock) {
  for (bool withFault : {false, true}) {
    clock.pieces = 0;
    StressRun* current = nullptr;
    onPiece = [&current](double first) {
      if (first == 1048576 + 8192) current->requestStop();
    };
    StressPlan p = plan(3, 3600);
    if (withFault) p.injection = StressInjection{1, 5};
    StressRun run(p, system, clock);
    current = &run;
    runToEnd(run);
    const StressOutcome o = run.outcome();
    EXPECT_EQ(o.end, StressOutcome::End::Stopped);
    EXPECT_EQ(o.passes, 0);
    EXPECT_EQ(o.numbers, 2 * kStressBlockNumbers);
    EXPECT_EQ(stressVerdictLine(o), withFault ? "Stress test stopped: 0 passes, 2097152 numbers, 1 error in 2 s"
                                              : "Stress test stopped: 0 passes, 2097152 numbers, 0 errors in 2 s");
    EXPECT_EQ(stressExitStatus(o), withFault ? 4 : 5);
    onPiece = nullptr;
  }
}

// Cycle mode: one worker, moved over the mask in its order, the duration on each; one round.
TEST_F(StressRunTest, CycleMovesOneWorkerOverEveryProcessor) {
  system.cpus = {2, 5};
  StressPlan p = plan(1, 2, 4, true);
  p.oneRound = true;
  p.injection = StressInjection{3, 77};
  StressRun run(p, system, clock);
  const auto lines = runToEnd(run);
  EXPECT_EQ(system.pins, (std::vector<int>{2, 5}));
  const std::vector<std::string> expected{"Pass 1 on CPU 2: 1 s, 0 errors", "Pass 2 on CPU 2: 1 s, 0 errors",
                                          errorLine(3, 1, 5, 77), "Pass 3 on CPU 5: 1 s, 1 error",
                                          "Pass 4 on CPU 5: 1 s, 0 errors"};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(stressVerdictLine(run.outcome()),
            "Stress test failed: 1 error in 4 passes, first on CPU 5 in pass 3; errors on CPU 5");
}

// ---- The Linux machine ----

TEST(LinuxStressSystem, PinsToTheAffinityMask) {
  LinuxStressSystem machine;
  const std::vector<int> cpus = machine.allowedCpus();
  ASSERT_FALSE(cpus.empty());
  int ranOn = -2;
  bool pinned = false;
  std::thread([&] {
    pinned = machine.pinCurrentThread(cpus.back());
    ranOn = machine.currentCpu();
  }).join();
  EXPECT_TRUE(pinned);
  EXPECT_EQ(ranOn, cpus.back());
  EXPECT_FALSE(machine.pinCurrentThread(-1));
}

TEST(LinuxStressSystem, ClockAndTemperatureFromSysfs) {
  QTemporaryDir root;
  auto write = [&root](const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(root.filePath(path)).path());
    QFile file(root.filePath(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  };
  LinuxStressSystem sys(root.path().toStdString());
  EXPECT_FALSE(sys.averageClockMHz({0}));
  EXPECT_FALSE(sys.hottestCelsius());

  write(QStringLiteral("devices/system/cpu/cpu0/cpufreq/scaling_cur_freq"), "2000000\n");
  write(QStringLiteral("devices/system/cpu/cpu1/cpufreq/scaling_cur_freq"), "3000000\n");
  write(QStringLiteral("devices/system/cpu/cpu2/cpufreq/scaling_cur_freq"), "garbage\n");
  write(QStringLiteral("class/hwmon/hwmon0/temp1_input"), "45000\n");
  write(QStringLiteral("class/hwmon/hwmon0/temp1_label"), "81000\n");
  write(QStringLiteral("class/hwmon/hwmon1/temp3_input"), "81000\n");
  write(QStringLiteral("class/hwmon/hwmon1/temp4_input"), "-273000\n");
  EXPECT_EQ(sys.averageClockMHz({0, 1, 2, 9}), 2500);
  EXPECT_EQ(sys.averageClockMHz({1}), 3000);
  EXPECT_EQ(sys.hottestCelsius(), 81);
}

}  // namespace
}  // namespace rootix::engine
