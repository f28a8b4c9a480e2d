#pragma once

#include <QString>
#include <atomic>
#include <cstdint>

#include "engine/range_kernel.h"

namespace rootix::engine {

class WorkerConsole;

// What one worker computes and how it reports.
struct WorkerParams {
  int16_t threadId = 1;
  int32_t low = 0;
  int32_t high = 0;
  bool cache = false;  // keep every result in `results` and hand them to output
  bool quiet = false;  // no console lines except warnings
  // Cache mode: the run's array, indexed by the number itself.
  double* results = nullptr;
  // Whether this worker writes results[low]. Neighbouring ranges share their
  // boundary number; exactly one of them may write it.
  bool ownsLow = true;
  KernelFunction kernel;  // what computes the numbers (required)
  // Set when the run is abandoned; the worker then stops without further calls.
  const std::atomic<bool>* stop = nullptr;
};

// A worker's calculation: computes its range in blocks, but reads the clock,
// prints progress and warns about non-convergent numbers on exactly the
// numbers where a number-by-number loop would.
class Calculator {
 public:
  // Numbers per progress line; the clock is read 8 times as often.
  static constexpr double kReportSpan = 2097152;
  // Numbers computed per kernel call: small enough to stay in the first-level
  // cache while they are checked for non-convergence.
  static constexpr std::int64_t kChunk = 4096;
  // Seconds between two heartbeats.
  static constexpr double kHeartbeatSeconds = 2;

  // Runs the whole range on the calling thread, then `output` (cache mode)
  // and `complete`. Returns early only after console.fail or a stop.
  static void Calculate(WorkerConsole& console, const WorkerParams& params);
};

// The operating system's identifier of the calling thread, upper-case hex.
QString osThreadIdHex();

}  // namespace rootix::engine
