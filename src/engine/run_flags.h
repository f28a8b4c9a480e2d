#pragma once

namespace rootix::engine {

// The engine's switches as the console sets them. Whether a run is on is
// TestRunner::running().
struct RunFlags {
  bool quickMode = false;  // "qm": test sizes without the factor 1024
  bool cache = false;      // "tc": results are kept and verified
};

}  // namespace rootix::engine
