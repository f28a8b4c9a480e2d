#pragma once

#include <cstdint>

namespace rootix::engine {

// How a run ended.
struct RunResult {
  int16_t test = 0;
  bool quiet = false;   // the warm-up run: nothing was printed for it
  bool errors = false;  // some worker reported an error; no record was kept
  double seconds = 0;
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

}  // namespace rootix::engine
