#include "engine/kernel_comparison.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace rootix::engine {
namespace {

// Large enough to hide the calls and the clock, small enough to stay in the second-level cache.
constexpr std::int64_t kChunk = 1 << 16;

double secondsOf(const RangeFunction& f, double first, std::int64_t count, double* out) {
  const auto start = std::chrono::steady_clock::now();
  f(first, count, out);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

ComparisonResult compareRanges(const RangeFunction& reference, const std::vector<RangeFunction>& candidates,
                               double first, std::int64_t count,
                               const std::function<void(const ComparisonResult&)>& progress) {
  ComparisonResult result;
  result.candidates.resize(candidates.size());
  std::vector<double> expected(static_cast<size_t>(std::min(count, kChunk)));
  std::vector<double> got(expected.size());
  for (std::int64_t done = 0; done < count;) {
    const std::int64_t n = std::min(kChunk, count - done);
    const double x = first + double(done);
    result.referenceSeconds += secondsOf(reference, x, n, expected.data());
    for (size_t k = 0; k < candidates.size(); ++k) {
      ComparisonTally& tally = result.candidates[k];
      tally.seconds += secondsOf(candidates[k], x, n, got.data());
      if (std::memcmp(expected.data(), got.data(), static_cast<size_t>(n) * sizeof(double)) == 0) continue;
      for (std::int64_t i = 0; i < n; ++i) {
        if (std::memcmp(&expected[size_t(i)], &got[size_t(i)], sizeof(double)) == 0) continue;
        if (tally.differences++ == 0) tally.firstDifference = x + double(i);
      }
    }
    done += n;
    result.numbers = done;
    if (progress) progress(result);
  }
  return result;
}

}  // namespace rootix::engine
