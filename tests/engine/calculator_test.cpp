#include "engine/calculator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QRegularExpression>
#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/newton.h"
#include "engine/seconds_text.h"
#include "engine_fakes.h"
#include "platform/numbers.h"

namespace rootix::engine {
namespace {

using fakes::RecordingConsole;

// The worker's loop taken one number at a time, exactly as the reporting
// rules read. The blocked loop must make the same calls in the same order.
void referenceCalculate(WorkerConsole& con, const WorkerParams& p) {
  const QString id = QString::number(p.threadId);
  if (!p.quiet) {
    con.PrintLn(QStringLiteral("Thread ") + id + QStringLiteral(" calculating from ") + QString::number(p.low) +
                QStringLiteral(" to ") + QString::number(p.high) + QStringLiteral(" in THREAD#") + osThreadIdHex() +
                u'.');
  }
  const double low = p.low;
  const double span = static_cast<double>(std::int64_t{p.high} - p.low);
  const double s = 2097152 / span;
  double c = s / 8;
  double pr = s;
  double prevTime = 0, lastTime = 0, lastSignal = 0;
  int errors = 0;
  for (double x = p.low; x <= p.high; x += 1) {
    double r = 0;
    p.kernel(x, 1, &r);
    if (r == -1) {
      con.PrintLn(QStringLiteral("WARNING: Non-convergent in f(x)=x^2 - ") + num::formatGeneral(x) +
                  QStringLiteral(" in thread ") + id);
      ++errors;
    } else if (p.cache) {
      p.results[static_cast<std::int64_t>(x)] = r;
    }
    if (low + span * c < x) {
      lastTime = con.GetTime();
      if (lastTime < prevTime) {
        con.fail(QStringLiteral("Cheat detected."));
        return;
      }
      prevTime = lastTime;
      if (lastTime - lastSignal >= 2) {
        con.signal();
        lastSignal = lastTime;
      }
      c = c + s / 8;
    }
    if (!p.quiet && low + span * pr < x) {
      con.PrintLn(QStringLiteral("Thread ") + id + QStringLiteral(" is ") +
                  num::formatGeneral(num::roundHalfEven(pr * 100)) + QStringLiteral("% complete @ ") +
                  secondsText(lastTime) + QStringLiteral(" seconds"));
      pr = pr + s;
    }
  }
  if (!p.quiet) {
    con.PrintLn(QStringLiteral("Thread ") + id + QStringLiteral(" complete with ") + QString::number(errors) +
                QStringLiteral(" errors!"));
    con.PrintLn(QStringLiteral("Time taken: ") + secondsText(con.GetTime()) + QStringLiteral(" seconds"));
  }
  if (p.cache) con.output(WorkerResults{p.results, p.low, p.high, p.results[p.low]}, p.threadId);
  con.complete(p.quiet, errors != 0);
}

struct Shape {
  const char* name;
  int32_t low;
  int32_t high;
  bool quiet;
  bool cache;
  KernelFunction kernel;
};

void PrintTo(const Shape& s, std::ostream* os) { *os << s.name; }

class BlockedMatchesPerNumber : public ::testing::TestWithParam<Shape> {};

TEST_P(BlockedMatchesPerNumber, SameCallsSameResults) {
  const Shape& shape = GetParam();
  WorkerParams p;
  p.threadId = 3;
  p.low = shape.low;
  p.high = shape.high;
  p.quiet = shape.quiet;
  p.cache = shape.cache;
  p.kernel = shape.kernel;
  std::vector<double> blockedResults, referenceResults;
  if (shape.cache) {
    blockedResults.assign(static_cast<size_t>(shape.high) + 1, 0);
    referenceResults = blockedResults;
  }

  RecordingConsole blocked;
  p.results = shape.cache ? blockedResults.data() : nullptr;
  Calculator::Calculate(blocked, p);

  RecordingConsole reference;
  p.results = shape.cache ? referenceResults.data() : nullptr;
  referenceCalculate(reference, p);

  EXPECT_EQ(blocked.events, reference.events);
  EXPECT_EQ(blockedResults, referenceResults);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, BlockedMatchesPerNumber,
    ::testing::Values(Shape{"OneNumber", 5, 5, false, false, fakes::newtonKernel},
                      Shape{"OneNumberAtZeroCached", 0, 0, false, true, fakes::newtonKernel},
                      Shape{"ThreeNumbers", 7, 9, false, true, fakes::newtonKernel},
                      Shape{"JustOneClockReading", 0, 262145, false, false, fakes::zeroKernel},
                      Shape{"JustNoClockReading", 0, 262144, false, false, fakes::zeroKernel},
                      Shape{"ProgressEdge", 100, 2097253, false, false, fakes::zeroKernel},
                      Shape{"OddStart", 1000003, 5194321, false, false, fakes::zeroKernel},
                      Shape{"WholeTest6", 0, 33554431, false, false, fakes::zeroKernel},
                      Shape{"LastQuarterOfTest6", 25165823, 33554431, false, false, fakes::zeroKernel},
                      Shape{"Quiet", 3, 4194310, true, false, fakes::zeroKernel},
                      Shape{"WarningsBetweenChecks", 0, 600000, false, false, fakes::sometimesNonConvergentKernel},
                      Shape{"WarningsCachedQuiet", 990, 300017, true, true, fakes::sometimesNonConvergentKernel}),
    [](const auto& info) { return std::string(info.param.name); });

// One worker over test 6 reports every 2,097,152 numbers, each time on a
// number where the clock was just read.
TEST(Calculator, ProgressLinesOverTest6) {
  RecordingConsole con;
  con.step = 0.25;
  WorkerParams p;
  p.threadId = 1;
  p.low = 0;
  p.high = 33554431;
  p.kernel = fakes::zeroKernel;
  Calculator::Calculate(con, p);

  QStringList lines = con.lines();
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Thread 1 calculating from 0 to 33554431 in THREAD#[0-9A-F]+\\.$"))
                  .match(lines.takeFirst())
                  .hasMatch());
  const int percents[] = {6, 13, 19, 25, 31, 38, 44, 50, 56, 63, 69, 75, 81, 88, 94};
  QStringList expected;
  int check = 0;
  for (int percent : percents) {
    check += 8;
    expected
        << QStringLiteral("Thread 1 is %1% complete @ %2 seconds").arg(percent).arg(num::formatGeneral(check * 0.25));
  }
  expected << QStringLiteral("Thread 1 complete with 0 errors!");
  expected << QStringLiteral("Time taken: %1 seconds").arg(num::formatGeneral((127 + 1) * 0.25));
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(con.events.count(QStringLiteral("<time %1>").arg(0.25 * 127)), 1) << "127 clock readings expected";
}

TEST(Calculator, ThreadIdentifierIsTheSystemsInUpperCaseHex) {
  const QString hex = osThreadIdHex();
  EXPECT_FALSE(hex.startsWith(u'0'));
  EXPECT_EQ(hex, hex.toUpper());
  bool ok = false;
  EXPECT_EQ(hex.toLongLong(&ok, 16), static_cast<long long>(gettid()));
  EXPECT_TRUE(ok);
}

TEST(Calculator, QuietModePrintsOnlyWarnings) {
  RecordingConsole con;
  WorkerParams p;
  p.low = 0;
  p.high = 3000;
  p.quiet = true;
  p.kernel = fakes::sometimesNonConvergentKernel;
  Calculator::Calculate(con, p);
  EXPECT_EQ(con.lines(), QStringList({QStringLiteral("WARNING: Non-convergent in f(x)=x^2 - 7 in thread 1"),
                                      QStringLiteral("WARNING: Non-convergent in f(x)=x^2 - 1007 in thread 1"),
                                      QStringLiteral("WARNING: Non-convergent in f(x)=x^2 - 2007 in thread 1")}));
  EXPECT_EQ(con.events.last(), QStringLiteral("<complete 1 1>"));
}

// The clock running backwards ends the run at once: nothing after it.
TEST(Calculator, BackwardsClockIsCheating) {
  RecordingConsole con;
  con.scriptedTimes = {1.0, 2.0, 1.5};
  WorkerParams p;
  p.quiet = true;
  p.low = 0;
  p.high = 1048575;
  p.kernel = fakes::zeroKernel;
  Calculator::Calculate(con, p);
  EXPECT_EQ(con.events, QStringList({QStringLiteral("<time 1>"), QStringLiteral("<time 2>"), QStringLiteral("<signal>"),
                                     QStringLiteral("<time 1.5>"), QStringLiteral("<fail Cheat detected.>")}));
}

TEST(Calculator, HeartbeatEveryTwoSecondsOfRunTime) {
  RecordingConsole con;
  con.step = 0.5;
  WorkerParams p;
  p.quiet = true;
  p.low = 0;
  p.high = 33554431;
  p.kernel = fakes::zeroKernel;
  Calculator::Calculate(con, p);
  // 127 readings half a second apart: one heartbeat per four readings.
  EXPECT_EQ(con.events.count(QStringLiteral("<signal>")), 31);
}

// Neighbouring workers share their boundary number; only one of them writes it.
TEST(Calculator, LeavesTheSharedFirstNumberToThePredecessor) {
  std::vector<double> results(21, -7.0);
  RecordingConsole con;
  WorkerParams p;
  p.threadId = 2;
  p.low = 10;
  p.high = 20;
  p.cache = true;
  p.quiet = true;
  p.results = results.data();
  p.ownsLow = false;
  p.kernel = fakes::newtonKernel;
  Calculator::Calculate(con, p);
  EXPECT_EQ(results[10], -7.0);
  EXPECT_EQ(results[20], Newton().Sqrt(20));
  ASSERT_EQ(con.outputs.size(), 1u);
  EXPECT_EQ(con.outputs[0].lowValue, Newton().Sqrt(10));
  EXPECT_EQ(con.outputs[0].at(10), Newton().Sqrt(10));
  EXPECT_EQ(con.outputs[0].at(11), Newton().Sqrt(11));
}

TEST(Calculator, NonConvergentResultsAreNotStored) {
  std::vector<double> results(3001, 0);
  RecordingConsole con;
  WorkerParams p;
  p.high = 3000;
  p.cache = true;
  p.quiet = true;
  p.results = results.data();
  p.kernel = fakes::sometimesNonConvergentKernel;
  Calculator::Calculate(con, p);
  EXPECT_EQ(results[1007], 0);
  EXPECT_EQ(results[1008], Newton().Sqrt(1008));
}

TEST(Calculator, StopsWithoutFurtherCallsOnceTheRunIsAbandoned) {
  std::atomic<bool> stop{true};
  RecordingConsole con;
  WorkerParams p;
  p.high = 100000;
  p.quiet = true;
  p.stop = &stop;
  p.kernel = fakes::zeroKernel;
  Calculator::Calculate(con, p);
  EXPECT_TRUE(con.events.isEmpty());
}

}  // namespace
}  // namespace rootix::engine
