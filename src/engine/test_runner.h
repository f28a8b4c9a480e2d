#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "engine/result_array.h"
#include "engine/run_flags.h"
#include "engine/run_listener.h"
#include "engine/run_plan.h"
#include "engine/worker_console.h"
#include "platform/clock.h"
#include "platform/command_table.h"

namespace rootix::scores {
class Records;
class ThreadCount;
}  // namespace rootix::scores

namespace rootix::engine {

class KernelSource;
class ProcessorSource;
class UiDispatcher;

// The program's side of a benchmark run: starts the workers, keeps the
// run's clock, serves the workers' calls on the UI thread, announces the
// result, keeps the records, tells its reporters and listener and hands
// control back through its hook. It owns the run flags. It knows nothing of
// the console: its lines go to a line printer.
//
// Create and use it on the UI thread. The thread count, the records and the
// kernel source must outlive it. Destroying it while workers
// run stops them and waits for them, letting events run meanwhile.
class TestRunner {
 public:
  // What tests (and the program) may replace.
  struct Hooks {
    // Ends the program after a fatal failure; the status is non-zero. The
    // default flushes standard output and ends the process at once.
    std::function<void(int status)> endProgram;
    // Memory the system can hand out, in bytes (-1 unknown).
    std::function<std::int64_t()> availableMemory;
    // After a run the listener kept: give the user the next turn (the
    // console's chain). Not called after a quiet run. Empty: nothing.
    std::function<void()> handBack;
  };

  // kernels: asked for each run's kernel as it starts.
  // clock: the run clock (null: a steady clock of our own). Workers read it on
  // their own threads, so its now() must be safe to call from any thread.
  TestRunner(platform::LinePrinter print, scores::ThreadCount& threads, scores::Records& records, KernelSource& kernels,
             platform::Clock* clock = nullptr);
  TestRunner(platform::LinePrinter print, scores::ThreadCount& threads, scores::Records& records, KernelSource& kernels,
             platform::Clock* clock, Hooks hooks);
  ~TestRunner();
  TestRunner(const TestRunner&) = delete;
  TestRunner& operator=(const TestRunner&) = delete;

  // Told after every run (null: nobody); must outlive the runner's runs.
  void setListener(RunListener* listener) { listener_ = listener; }
  // Told about every run; each must outlive the runner's runs.
  void addReporter(RunReporter* reporter) { reporters_.push_back(reporter); }

  scores::ThreadCount& threadCount() { return threadCount_; }
  RunFlags& flags() { return flags_; }
  const RunFlags& flags() const { return flags_; }
  // True from StartTest until the last worker has completed, or until a
  // failed start let go of the run.
  bool running() const { return active_ != nullptr; }

  // Starts test `test` on as many workers as the thread count says and returns once each
  // has its range. Throws RuntimeError before any worker starts: kOverflow
  // when the test's bounds do not fit in 32 bits, kOutOfMemory when cache
  // mode's array cannot be had, 11 with no threads, kInvalidProcedureCall
  // while a run is in progress. A throw leaves the runner as it was.
  void StartTest(int16_t test, bool quiet);

  // Seconds since the run started (reset, or the first call ever, starts it).
  double GetTime(bool reset = false);

  // The workers' calls, on the UI thread.
  void complete(bool quiet, bool error);
  void output(const WorkerResults& results, int16_t threadId);
  void signal() {}
  void fail(const QString& message);

  // The preparation steps behind "stresscpu", "getbasichw" and "initthread".
  void StressCPU();
  void ScanSystem(ProcessorSource& processors);
  void InitThreads();

  // Elapsed seconds of the last run that completed (0 before the first).
  double lastRunSeconds() const { return lastRunSeconds_; }
  // Threads of this or earlier runs that have not ended yet.
  int liveWorkers() const { return liveWorkers_.load(); }
  // Waits (letting events run) until every worker thread has ended.
  void waitForWorkers();

 private:
  struct Run;
  class DispatchedConsole;

  void print(const QString& line);
  void startWorkers(const std::shared_ptr<Run>& run, const std::vector<WorkerRange>& ranges, bool quiet);
  void abandon(const std::shared_ptr<Run>& run);
  void finishRun(bool quiet, double elapsed);
  void handBack(bool quiet);
  void reapWorkers();

  platform::LinePrinter print_;
  scores::ThreadCount& threadCount_;
  scores::Records& records_;
  KernelSource& kernels_;
  RunListener* listener_ = nullptr;
  std::vector<RunReporter*> reporters_;
  RunFlags flags_;
  platform::SteadyClock ownClock_;
  platform::Clock* clock_;
  Hooks hooks_;
  std::unique_ptr<UiDispatcher> dispatcher_;

  bool clockStarted_ = false;
  double startTime_ = 0;

  // The run in progress (null when idle) and what completes it.
  std::shared_ptr<Run> active_;
  int16_t currentTest_ = 0;
  int completedThreads_ = 0;
  bool runError_ = false;
  double lastRunSeconds_ = 0;

  std::vector<std::thread> threads_;
  std::atomic<int> liveWorkers_{0};
};

}  // namespace rootix::engine
