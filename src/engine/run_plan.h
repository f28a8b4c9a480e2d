#pragma once

#include <cstdint>
#include <vector>

namespace rootix::engine {

// The numbers a worker computes: low..high, both included.
struct WorkerRange {
  int16_t threadId = 0;  // 1..threads
  int32_t low = 0;
  int32_t high = 0;
};

// N of test k: m * 2^(k+9) - 1 with m = 1024, or 1 in quick mode.
double testLastNumber(int test, bool quickMode);

// The count announced when a test starts; always the full-size form.
double announcedLastNumber(int test);

// Splits 0..n into `threads` ranges: bounds are i * n / threads rounded to the
// nearest whole number, halves to even, and neighbours share their boundary.
// Throws RuntimeError: kOverflow when a bound does not fit in 32 bits, 11
// (division by zero) for no threads, kInvalidProcedureCall for a negative count.
std::vector<WorkerRange> splitRanges(double n, int threads);

}  // namespace rootix::engine
