#pragma once

namespace rootix::engine {

// The engine's switches as the console sets them, and whether a run is on.
struct RunFlags {
  bool running = false;    // from StartTest until the last worker completed
  bool quickMode = false;  // "qm": test sizes without the factor 1024
  bool cache = false;      // "tc": results are kept and verified
};

}  // namespace rootix::engine
