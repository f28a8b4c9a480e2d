#include "engine/test_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/calculator.h"
#include "engine/kernel_choice.h"
#include "engine/processor_report.h"
#include "engine/seconds_text.h"
#include "engine/ui_dispatcher.h"
#include "engine/verification.h"
#include "platform/events.h"
#include "platform/memory_info.h"
#include "platform/numbers.h"
#include "platform/runtime_error.h"
#include "scores/records.h"
#include "scores/thread_count.h"

namespace rootix::engine {
namespace {

// Status of a process that ends because a run could not go on.
constexpr int kFatalStatus = 1;

void endProcess(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace

// One run's shared parts: its workers hold them until their threads end, so
// an abandoned run's array outlives its last worker.
struct TestRunner::Run {
  std::atomic<bool> stop{false};
  int workers = 0;
  ResultArray results;
  // The run clock as the workers read it: fixed before the first worker starts.
  platform::Clock* clock = nullptr;
  double startTime = 0;
  // Taken at the start: toggling "qm" or "tc", or another kernel, during a run changes none of them.
  bool quickMode = false;
  KernelFunction kernel;
  double numbers = 0;
  double startupSeconds = 0;
  std::vector<WorkerSummary> summaries;
};

// A worker's calls, carried to the UI thread. Calls of a stopped run return
// at once without touching the runner's state.
//
// Lines and heartbeats are queued without waiting, and the run clock is read
// on the worker: waiting for the UI thread at every clock reading would cost
// a measurable share of the run. The queue keeps each worker's calls in order,
// so its lines still come before its completion.
class TestRunner::DispatchedConsole : public WorkerConsole {
 public:
  DispatchedConsole(TestRunner& runner, std::shared_ptr<Run> run) : runner_(runner), run_(std::move(run)) {}

  void PrintLn(const QString& line) override {
    runner_.dispatcher_->post([runner = &runner_, run = run_, line] {
      if (!run->stop.load()) runner->print(line);
    });
  }
  double GetTime() override { return run_->clock->now() - run_->startTime; }
  void output(const WorkerResults& results, int16_t threadId) override {
    onUi([&] { runner_.output(results, threadId); });
  }
  void complete(bool quiet, bool error) override {
    onUi([&] { runner_.complete(quiet, error); });
  }
  void signal() override {
    runner_.dispatcher_->post([runner = &runner_, run = run_] {
      if (!run->stop.load()) runner->signal();
    });
  }
  void fail(const QString& message) override {
    onUi([&] { runner_.fail(message); });
  }
  void finished(const WorkerSummary& summary) override {
    runner_.dispatcher_->post([run = run_, summary] {
      if (!run->stop.load()) run->summaries.push_back(summary);
    });
  }

 private:
  template <class F>
  void onUi(const F& f) {
    runner_.dispatcher_->call([&] {
      if (!run_->stop.load()) f();
    });
  }

  TestRunner& runner_;
  std::shared_ptr<Run> run_;
};

TestRunner::TestRunner(platform::LinePrinter print, scores::ThreadCount& threads, scores::Records& records,
                       KernelSource& kernels, platform::Clock* clock)
    : TestRunner(std::move(print), threads, records, kernels, clock, Hooks{}) {}

TestRunner::TestRunner(platform::LinePrinter print, scores::ThreadCount& threads, scores::Records& records,
                       KernelSource& kernels, platform::Clock* clock, Hooks hooks)
    : print_(std::move(print)),
      threadCount_(threads),
      records_(records),
      kernels_(kernels),
      clock_(clock ? clock : &ownClock_),
      hooks_(std::move(hooks)),
      dispatcher_(std::make_unique<UiDispatcher>()) {
  if (!hooks_.endProgram) hooks_.endProgram = endProcess;
  if (!hooks_.availableMemory) hooks_.availableMemory = platform::availableMemoryBytes;
}

TestRunner::~TestRunner() {
  if (active_) abandon(active_);
  reapWorkers();
}

void TestRunner::print(const QString& line) {
  if (print_) print_(line);
}

double TestRunner::GetTime(bool reset) {
  const double now = clock_->now();
  if (reset || !clockStarted_) {
    startTime_ = now;
    clockStarted_ = true;
  }
  return now - startTime_;
}

void TestRunner::StartTest(int16_t test, bool quiet) {
  // A second run on top of a running one would mix up their completions.
  if (active_) throw RuntimeError(kInvalidProcedureCall, "a test is already running");
  auto run = std::make_shared<Run>();
  active_ = run;
  currentTest_ = test;
  completedThreads_ = 0;
  runError_ = false;
  try {
    if (!quiet) {
      print(QStringLiteral("Calculating sqrts of first ") + num::formatGeneral(announcedLastNumber(test)) +
            QStringLiteral(" numbers."));
    }
    platform::pumpEvents();
    // Threads of earlier runs end before this one's clock starts.
    reapWorkers();
    const double n = testLastNumber(test, flags_.quickMode);
    const std::vector<WorkerRange> ranges = splitRanges(n, threadCount_.value());
    run->workers = static_cast<int>(ranges.size());
    run->quickMode = flags_.quickMode;
    run->numbers = n + 1;
    // Asked after the earlier workers ended: a first timing of the kernels is not disturbed.
    RunKernel kernel = kernels_.kernelForRun();
    run->kernel = std::move(kernel.compute);
    const RunStart start{test, quiet, flags_.quickMode, flags_.cache, run->workers, kernel.name, kernel.forced};
    for (RunReporter* r : reporters_) r->runStarting(start);
    if (flags_.cache) {
      run->results = ResultArray::allocate(static_cast<std::int64_t>(n) + 1, hooks_.availableMemory);
      // Gigabytes faulted in by the workers would cost more than their computing.
      run->results.prefault([] { platform::pumpEvents(); });
    }
    const auto clockStart = std::chrono::steady_clock::now();
    GetTime(true);
    run->clock = clock_;
    run->startTime = startTime_;
    // The workers' lines reach the console in rounds, not one wake-up each:
    // a busy UI thread would take turns from the workers.
    dispatcher_->setBatching(true);
    startWorkers(run, ranges, quiet);
    // Not on the run clock: an extra reading would move every time the
    // console shows after it.
    run->startupSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - clockStart).count();
  } catch (...) {
    abandon(run);
    throw;
  }
}

void TestRunner::startWorkers(const std::shared_ptr<Run>& run, const std::vector<WorkerRange>& ranges, bool quiet) {
  const bool cache = static_cast<bool>(run->results);
  threads_.reserve(threads_.size() + ranges.size());
  for (const WorkerRange& range : ranges) {
    WorkerParams params;
    params.threadId = range.threadId;
    params.low = range.low;
    params.high = range.high;
    params.cache = cache;
    params.quiet = quiet;
    params.results = cache ? run->results.data() : nullptr;
    // The first worker writes its first number; every later one leaves it to
    // its predecessor, whose last number it is.
    params.ownsLow = range.threadId == 1;
    params.kernel = run->kernel;
    params.stop = &run->stop;
    liveWorkers_.fetch_add(1);
    try {
      threads_.emplace_back([this, run, params] {
        DispatchedConsole con(*this, run);
        QString failure;
        try {
          Calculator::Calculate(con, params);
        } catch (const std::exception& e) {
          failure = QString::fromLocal8Bit(e.what());
        } catch (...) {
          failure = QStringLiteral("unknown failure");
        }
        if (!failure.isEmpty()) {
          const QString message = QStringLiteral("ERROR: Thread ") + QString::number(params.threadId) +
                                  QStringLiteral(" failed (") + failure + QStringLiteral("). The test cannot go on.");
          try {
            con.fail(message);
          } catch (...) {
            // The UI thread cannot take the message; say it here and end.
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
            endProcess(kFatalStatus);
          }
        }
        liveWorkers_.fetch_sub(1);
      });
    } catch (...) {
      // No thread was started for this range (resource limits, memory).
      liveWorkers_.fetch_sub(1);
      throw RuntimeError(kOutOfMemory, "cannot start a worker thread");
    }
  }
}

void TestRunner::abandon(const std::shared_ptr<Run>& run) {
  run->stop.store(true);
  if (active_ != run) return;
  dispatcher_->setBatching(false);
  active_.reset();
  completedThreads_ = 0;
  runError_ = false;
  currentTest_ = 0;
}

void TestRunner::fail(const QString& message) {
  print(message);
  if (active_) abandon(active_);
  hooks_.endProgram(kFatalStatus);
}

void TestRunner::output(const WorkerResults& results, int16_t threadId) {
  // The worker has already written its results into the run's array; what is
  // left is checking them.
  const bool& cache = flags_.cache;
  if (!cache) return;
  const QString id = QString::number(threadId);
  print(QStringLiteral("Verifying results for thread ") + id);
  platform::pumpEvents();
  const auto marks = verificationMarks(results.low, results.high);
  for (std::int64_t i = results.low; i <= results.high; ++i) {
    if (!cache) continue;
    const double number = static_cast<double>(i);
    if (!resultMatches(results.at(static_cast<int32_t>(i)), number)) {
      print(QStringLiteral("WARNING: Incorrect result stored for sqrt(") + num::formatGeneral(number) + u')');
    }
    if (const int percent = verificationMarkAt(marks, number)) {
      print(QStringLiteral("Verification is ") + QString::number(percent) + QStringLiteral("% complete @ ") +
            secondsText(GetTime()) + QStringLiteral(" seconds"));
    }
  }
  if (cache) print(QStringLiteral("Verification Complete for thread ") + id);
}

void TestRunner::complete(bool quiet, bool error) {
  if (!active_) return;
  runError_ = runError_ || error;
  if (++completedThreads_ < active_->workers) return;
  finishRun(quiet, GetTime());
}

void TestRunner::finishRun(bool quiet, double elapsed) {
  const bool failed = runError_;
  RunResult result{currentTest_, quiet, failed, elapsed};
  result.quickMode = active_->quickMode;
  result.cache = static_cast<bool>(active_->results);
  result.numbers = active_->numbers;
  result.startupSeconds = active_->startupSeconds;
  result.workers = std::move(active_->summaries);
  std::sort(result.workers.begin(), result.workers.end(),
            [](const WorkerSummary& a, const WorkerSummary& b) { return a.threadId < b.threadId; });
  lastRunSeconds_ = elapsed;
  if (!quiet) {
    print(QStringLiteral("Process completed in ") + secondsText(elapsed) + QStringLiteral(" seconds."));
    print(failed ? QStringLiteral("Test completed, errors were detected.")
                 : QStringLiteral("Test completed successfully."));
  }
  completedThreads_ = 0;
  // A quick-mode run covers a 1,024th of the test: its time is no score.
  if (!failed && !result.quickMode && currentTest_ >= scores::Records::kFirst &&
      currentTest_ <= scores::Records::kLast) {
    const double record = records_.getRecord(currentTest_);
    if (record == 0 || elapsed < record) records_.setRecord(currentTest_, elapsed);
  }
  currentTest_ = 0;
  runError_ = false;
  // Nothing reads the results after the run; a large array goes back at once.
  active_->results.release();
  active_.reset();
  dispatcher_->setBatching(false);
  for (RunReporter* r : reporters_) r->runEnded(result);
  // The listener may hand control to the graphical window instead.
  if (listener_ && listener_->runFinished(result)) return;
  handBack(quiet);
}

void TestRunner::handBack(bool quiet) {
  if (!quiet && hooks_.handBack) hooks_.handBack();
}

void TestRunner::StressCPU() {
  print(QStringLiteral("Stressing CPU to prevent false clock reading."));
  for (int i = 0; i < 32766; ++i) platform::pumpEvents();
}

void TestRunner::ScanSystem(ProcessorSource& processors) {
  print(QStringLiteral("Scanning System - Please stand by."));
  platform::pumpEvents();
  threadCount_.set(QueryProcessors(print_, processors));
  print(QString::number(threadCount_.value()) + QStringLiteral(" CPU(s) detected. Optimizing calculation."));
}

void TestRunner::InitThreads() {
  print(QStringLiteral("Initiating thread structure, please stand by."));
  StartTest(-5, true);
  platform::waitUntil([this] { return !active_; }, 100);
}

void TestRunner::waitForWorkers() {
  if (liveWorkers_.load() > 0) platform::waitUntil([this] { return liveWorkers_.load() == 0; }, 5);
}

void TestRunner::reapWorkers() {
  waitForWorkers();
  for (std::thread& t : threads_) t.join();
  threads_.clear();
}

}  // namespace rootix::engine
