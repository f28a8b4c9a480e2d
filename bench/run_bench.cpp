#include "bench_registry.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "console/console.h"
#include "console/interpreter.h"
#include "engine/calculator.h"
#include "engine/kernel_choice.h"
#include "engine/newton.h"
#include "engine/range_kernel.h"
#include "engine/run_plan.h"
#include "engine/sign_scan.h"
#include "engine/test_runner.h"
#include "platform/events.h"
#include "scores/records.h"
#include "scores/thread_count.h"

namespace rootix::bench {

// ---------------------------------------------------------------------------------------
// Whole-run benchmarks: a 32M test on one worker thread and on every hardware thread, run
// through the engine's worker threads (TestRunner::StartTest, as "st 6" does, progress
// lines included), each next to the same computation without any worker calls; the
// speed-up of all hardware threads over one; and one whole 1024M test.
// ---------------------------------------------------------------------------------------
namespace {

// A console nobody reads: every line read is "exit", which ends the chain
// that the first run hands back to.
class SilentFace : public console::ConsoleFace {
 public:
  void lineAppended(const QString&, bool) override {}
  void textAppended(const QString&) override {}
  void beginInput() override {}
  bool lineReady() override { return true; }
  QString takeLine() override { return QStringLiteral("exit"); }
  void endInput() override {}
  bool isVisible() const override { return false; }
  void setVisible(bool) override {}
};

class NullSink : public console::OutputSink {
 public:
  void write(const QByteArray&) override {}
};

// The engine as the program drives it: a console, the thread count, the
// records and the runner, with runs started through StartTest.
class Engine {
 public:
  Engine() {
    interp_.commands().add(QStringLiteral("exit"), [this](platform::CommandCall&) { interp_.requestStop(); });
  }

  // One run, not quiet (so with its progress lines); returns its elapsed seconds.
  double run(int16_t test, int threads) {
    threads_.set(static_cast<int16_t>(threads));
    runner_.StartTest(test, false);
    // As the console waits: events are served as they come, and the wait
    // ends with the event that completes the run. A short poll would wake the
    // UI thread a thousand times a second and take turns from the workers.
    platform::waitUntil([this] { return !runner_.running(); }, 100);
    runner_.waitForWorkers();
    return runner_.lastRunSeconds();
  }

 private:
  SilentFace face_;
  NullSink sink_;
  console::Console console_{face_, sink_};
  console::Interpreter interp_{console_};
  scores::Records records_;
  scores::ThreadCount threads_{records_};
  engine::TestRunner runner_{[this](const QString& line) { console_.PrintLn(line); }, threads_, records_,
                             benchKernels()};
};

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "rootix_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
  return app ? *app : *QCoreApplication::instance();
}

Engine& engineInstance() {
  application();
  static Engine engine;
  return engine;
}

// The workers' computation without any callback: the same ranges, the same
// kernel in the same chunks (with the workers' non-convergence scan when
// `scan`), on as many threads; timed from the first thread's start to the
// last one's end.
double bareRun(int16_t test, int threads, bool scan) {
  const auto ranges = engine::splitRanges(engine::testLastNumber(test, false), threads);
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  std::vector<std::int64_t> misses(ranges.size());
  const engine::Kernel kernel = benchKernels().active();
  for (size_t w = 0; w < ranges.size(); ++w) {
    workers.emplace_back([&, w] {
      std::vector<double> scratch(engine::Calculator::kChunk);
      std::int64_t missed = 0;
      for (double x = ranges[w].low; x <= ranges[w].high;) {
        const auto count = std::min<std::int64_t>(engine::Calculator::kChunk, std::int64_t(ranges[w].high - x) + 1);
        engine::computeRange(kernel, x, count, scratch.data());
        if (scan && engine::anySignBit(scratch.data(), count)) {
          for (std::int64_t i = 0; i < count; ++i) missed += scratch[size_t(i)] == engine::Newton::kNonConvergent;
        }
        x += double(count);
      }
      misses[w] = missed;
    });
  }
  for (auto& t : workers) t.join();
  benchmark::DoNotOptimize(misses.data());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double numbersOf(int16_t test) { return engine::testLastNumber(test, false) + 1; }

// A whole run as Rootix times it, against the same computation without the
// workers' calls. Counters (best of the iterations each): kernel_s, the bare
// kernel; scan_pct, what the non-convergence scan adds to it; callbacks_pct,
// what the clock readings, progress lines and completion add on top.
void wholeRun(benchmark::State& state, int16_t test, int threads) {
  Engine& engine = engineInstance();
  double bestRun = 1e300;
  double bestKernel = 1e300;
  double bestScanned = 1e300;
  for (auto _ : state) {
    const double seconds = engine.run(test, threads);
    state.SetIterationTime(seconds);
    bestRun = std::min(bestRun, seconds);
    state.PauseTiming();
    bestKernel = std::min(bestKernel, bareRun(test, threads, false));
    bestScanned = std::min(bestScanned, bareRun(test, threads, true));
    state.ResumeTiming();
  }
  reportNumbers(state, numbersOf(test));
  state.counters["kernel_s"] = bestKernel;
  state.counters["scan_pct"] = (bestScanned / bestKernel - 1) * 100;
  state.counters["callbacks_pct"] = (bestRun / bestScanned - 1) * 100;
}

// The best run on `threads` workers over the best run on one, alternating.
void scaling(benchmark::State& state, int16_t test, int threads) {
  Engine& engine = engineInstance();
  double bestOne = 1e300;
  double bestMany = 1e300;
  for (auto _ : state) {
    const double one = engine.run(test, 1);
    const double many = engine.run(test, threads);
    state.SetIterationTime(many);
    bestOne = std::min(bestOne, one);
    bestMany = std::min(bestMany, many);
  }
  state.counters["one_thread_s"] = bestOne;
  state.counters["many_over_one"] = bestMany / bestOne;
}

}  // namespace

double plainRunSeconds(int test, int threads) { return engineInstance().run(static_cast<int16_t>(test), threads); }

void registerRunBenchmarks() {
  const int hardwareThreads = std::max(1u, std::thread::hardware_concurrency());
  std::vector<int> counts{1};
  if (hardwareThreads > 1) counts.push_back(hardwareThreads);
  for (int threads : counts) {
    benchmark::RegisterBenchmark(("WholeRun32M/threads:" + std::to_string(threads)).c_str(),
                                 [threads](benchmark::State& s) { wholeRun(s, 6, threads); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2);
  }
  benchmark::RegisterBenchmark(("Scaling32M/threads:" + std::to_string(hardwareThreads)).c_str(),
                               [hardwareThreads](benchmark::State& s) { scaling(s, 6, hardwareThreads); })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2);
  // The standard long test once: a few seconds on a current desktop.
  benchmark::RegisterBenchmark(("WholeRun1024M/threads:" + std::to_string(hardwareThreads)).c_str(),
                               [hardwareThreads](benchmark::State& s) { wholeRun(s, 11, hardwareThreads); })
      ->UseManualTime()
      ->Unit(benchmark::kSecond)
      ->Iterations(1);
}

}  // namespace rootix::bench
