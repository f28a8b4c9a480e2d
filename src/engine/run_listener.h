#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/worker_console.h"

namespace rootix::engine {

// A run about to start: its lines announced, its clock not yet started.
struct RunStart {
  int16_t test = 0;
  bool quiet = false;
  bool quickMode = false;
  bool cache = false;
  int threads = 0;
  std::string kernel;  // the range kernel's name, "AVX2/fma"
  bool kernelForced = false;
};

// How a run ended.
struct RunResult {
  int16_t test = 0;
  bool quiet = false;   // the warm-up run: nothing was printed for it
  bool errors = false;  // some worker reported an error; no record was kept
  double seconds = 0;
  bool quickMode = false;  // sizes without the factor 1024; no record was kept
  bool cache = false;
  double numbers = 0;                    // how many numbers the test covers (0..N)
  double startupSeconds = 0;             // from the clock's start until every worker had been started
  std::vector<WorkerSummary> workers{};  // by thread number
};

// Told when a run has ended: its lines are printed, its record kept, the
// runner idle again. Runs on the UI thread before the console gets its turn.
class RunListener {
 public:
  virtual ~RunListener() = default;
  // True when the listener handed control elsewhere (the graphical window):
  // the console's chain is then not resumed.
  virtual bool runFinished(const RunResult& result) = 0;
};

// Watches runs without steering them (run records, measurements). Called on
// the UI thread: runStarting before the run's clock starts, runEnded after
// its lines and record, before the listener.
class RunReporter {
 public:
  virtual ~RunReporter() = default;
  virtual void runStarting(const RunStart&) {}
  virtual void runEnded(const RunResult& result) = 0;
};

}  // namespace rootix::engine
