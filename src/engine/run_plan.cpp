#include "engine/run_plan.h"

#include <cmath>

#include "platform/numbers.h"
#include "platform/runtime_error.h"

namespace rootix::engine {
namespace {
// The classic "Division by zero": a run with no threads divides by 0.
constexpr int kDivisionByZero = 11;
}  // namespace

double testLastNumber(int test, bool quickMode) {
  const double m = quickMode ? 1.0 : 1024.0;
  return m * std::ldexp(1.0, test + 9) - 1;
}

double announcedLastNumber(int test) { return std::ldexp(1.0, test + 9) * 1024 - 1; }

std::vector<WorkerRange> splitRanges(double n, int threads) {
  if (threads == 0) throw RuntimeError(kDivisionByZero);
  if (threads < 0) throw RuntimeError(kInvalidProcedureCall);
  const double share = n / threads;
  std::vector<WorkerRange> ranges;
  ranges.reserve(static_cast<size_t>(threads));
  // Every bound is checked before any worker exists, so a test too large for
  // 32-bit bounds starts nothing.
  for (int i = 1; i <= threads; ++i) {
    WorkerRange r;
    r.threadId = static_cast<int16_t>(i);
    r.high = num::toInt32(i * share);
    r.low = num::toInt32((i - 1) * share);
    ranges.push_back(r);
  }
  return ranges;
}

}  // namespace rootix::engine
