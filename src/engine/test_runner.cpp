#include "engine/test_runner.h"

#include <cstdio>
#include <cstdlib>

#include "console/console.h"
#include "console/interpreter.h"
#include "console/shell_state.h"
#include "engine/processor_report.h"
#include "engine/seconds_text.h"
#include "engine/ui_dispatcher.h"
#include "engine/verification.h"
#include "platform/events.h"
#include "platform/files.h"
#include "platform/memory_info.h"
#include "platform/numbers.h"
#include "platform/runtime_error.h"
#include "platform/text.h"

namespace rootix::engine {
namespace {

// Status of a process that ends because a run could not go on.
constexpr int kFatalStatus = 1;
// Exit statuses after a run: errors were reported, or the marker file for
// "-save=" was not written.
constexpr int kRunErrorStatus = 1;
constexpr int kMarkerFailedStatus = 2;

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

TestRunner::TestRunner(console::Interpreter& interpreter, platform::Clock* clock)
    : TestRunner(interpreter, clock, Hooks{}) {}

TestRunner::TestRunner(console::Interpreter& interpreter, platform::Clock* clock, Hooks hooks)
    : interp_(interpreter),
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

console::Console& TestRunner::console() { return interp_.console(); }
console::ShellState& TestRunner::state() { return interp_.state(); }
void TestRunner::print(const QString& line) { console().PrintLn(line); }

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
  auto& st = state();
  auto run = std::make_shared<Run>();
  active_ = run;
  currentTest_ = test;
  completedThreads_ = 0;
  runError_ = false;
  st.running = true;
  try {
    if (!quiet) {
      print(QStringLiteral("Calculating sqrts of first ") + num::formatGeneral(announcedLastNumber(test)) +
            QStringLiteral(" numbers."));
    }
    platform::pumpEvents();
    // Threads of earlier runs end before this one's clock starts.
    reapWorkers();
    const double n = testLastNumber(test, st.quickMode);
    const std::vector<WorkerRange> ranges = splitRanges(n, st.threads);
    run->workers = static_cast<int>(ranges.size());
    if (st.cache) {
      run->results = ResultArray::allocate(static_cast<std::int64_t>(n) + 1, hooks_.availableMemory);
      // Gigabytes faulted in by the workers would cost more than their computing.
      run->results.prefault([] { platform::pumpEvents(); });
    }
    GetTime(true);
    run->clock = clock_;
    run->startTime = startTime_;
    // The workers' lines reach the console in rounds, not one wake-up each:
    // a busy UI thread would take turns from the workers.
    dispatcher_->setBatching(true);
    startWorkers(run, ranges, quiet);
  } catch (...) {
    abandon(run);
    st.running = false;
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
    params.kernel = hooks_.kernel;
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
  state().running = false;
}

void TestRunner::fail(const QString& message) {
  print(message);
  if (active_) abandon(active_);
  hooks_.endProgram(kFatalStatus);
}

void TestRunner::output(const WorkerResults& results, int16_t threadId) {
  // The worker has already written its results into the run's array; what is
  // left is checking them.
  const bool& cache = state().cache;
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
  auto& st = state();
  const bool failed = runError_;
  lastRunSeconds_ = elapsed;
  int status = failed ? kRunErrorStatus : 0;
  if (!quiet) {
    print(QStringLiteral("Process completed in ") + secondsText(elapsed) + QStringLiteral(" seconds."));
    print(failed ? QStringLiteral("Test completed, errors were detected.")
                 : QStringLiteral("Test completed successfully."));
    // The marker file and the exit belong to the run that was asked for, not
    // to the quiet warm-up run before it.
    if (!st.savePath.isEmpty() && !writeMarkerFile() && status == 0) status = kMarkerFailedStatus;
    if (st.exitAfterRun) console().setPendingInput(QStringLiteral("exit"));
  }
  completedThreads_ = 0;
  st.running = false;
  if (!failed && currentTest_ >= console::Records::kFirst && currentTest_ <= console::Records::kLast) {
    const double record = st.records.getRecord(currentTest_);
    if (record == 0 || elapsed < record) st.records.setRecord(currentTest_, elapsed);
  }
  currentTest_ = 0;
  runError_ = false;
  // Nothing reads the results after the run; a large array goes back at once.
  active_->results.release();
  active_.reset();
  dispatcher_->setBatching(false);
  if (!quiet) st.exitStatus = status;
  handBack(quiet);
}

bool TestRunner::writeMarkerFile() {
  const QString& path = state().savePath;
  try {
    platform::files::createNew(path, text::toSingleByte(QStringLiteral("Not done yet")));
    return true;
  } catch (const RuntimeError& e) {
    if (e.code() == kFileAlreadyExists) {
      print(QStringLiteral("ERROR: Output file '") + path + QStringLiteral("' already exists"));
    } else {
      print(QStringLiteral("Error occured: ") + QString::number(e.code()) + u'.');
    }
    return false;
  }
}

void TestRunner::handBack(bool quiet) {
  auto& st = state();
  // Deferred: the finishing worker is released before the chain goes on.
  if (st.revertToGui) {
    st.revertToGui = false;
    interp_.resumeChain(QStringLiteral("gui"));
    return;
  }
  if (quiet) return;
  if (console().inputPaused()) {
    interp_.resumeChain(QStringLiteral("resumeinput"));
  } else {
    interp_.resumeChain();
  }
}

void TestRunner::StressCPU() {
  print(QStringLiteral("Stressing CPU to prevent false clock reading."));
  for (int i = 0; i < 32766; ++i) platform::pumpEvents();
}

void TestRunner::ScanSystem(ProcessorSource& processors) {
  print(QStringLiteral("Scanning System - Please stand by."));
  platform::pumpEvents();
  setThreadsFromDetection(QueryProcessors(console(), processors));
  print(QString::number(state().threads) + QStringLiteral(" CPU(s) detected. Optimizing calculation."));
}

void TestRunner::setThreadsFromDetection(int16_t count) {
  auto& st = state();
  if (st.threads == count) return;
  st.threads = count;
  st.records.reset();
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
