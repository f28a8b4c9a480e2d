#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace rootix::engine {

// out[i] = result for first + i, i in [0, count).
using RangeFunction = std::function<void(double first, std::int64_t count, double* out)>;

// What one candidate did against the reference.
struct ComparisonTally {
  std::int64_t differences = 0;
  double firstDifference = -1;  // the lowest number whose bits differ; -1 for none
  double seconds = 0;           // time spent in the candidate
};

struct ComparisonResult {
  std::int64_t numbers = 0;
  double referenceSeconds = 0;
  std::vector<ComparisonTally> candidates;  // in the order given
};

// Computes the whole numbers first .. first + count - 1 with the reference and with every
// candidate, in chunks, and counts the numbers whose results differ in any bit (so -0 against
// 0, or two different NaNs, count). After each chunk `progress` (if set) sees the tally so far.
ComparisonResult compareRanges(const RangeFunction& reference, const std::vector<RangeFunction>& candidates,
                               double first, std::int64_t count,
                               const std::function<void(const ComparisonResult&)>& progress = {});

}  // namespace rootix::engine
