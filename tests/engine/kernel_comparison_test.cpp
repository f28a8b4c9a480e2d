#include "engine/kernel_comparison.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace rootix::engine {
namespace {

void identity(double first, std::int64_t count, double* out) {
  for (std::int64_t i = 0; i < count; ++i) out[i] = first + double(i);
}

// The identity with faults at chosen numbers: -0 for 0, one unit in the last place off at
// `nudged`.
RangeFunction faulty(double nudged) {
  return [nudged](double first, std::int64_t count, double* out) {
    identity(first, count, out);
    for (std::int64_t i = 0; i < count; ++i) {
      if (out[i] == 0) out[i] = -0.0;
      if (out[i] == nudged) out[i] = std::nextafter(nudged, 1e300);
    }
  };
}

TEST(KernelComparison, CountsEveryDifferingBitPattern) {
  // 200,000 numbers span several chunks; the nudged number lies in a later one.
  const auto result = compareRanges(identity, {identity, faulty(150000), faulty(-1)}, 0, 200000);
  EXPECT_EQ(result.numbers, 200000);
  ASSERT_EQ(result.candidates.size(), 3u);
  EXPECT_EQ(result.candidates[0].differences, 0);
  EXPECT_EQ(result.candidates[0].firstDifference, -1);
  EXPECT_EQ(result.candidates[1].differences, 2);
  EXPECT_EQ(result.candidates[1].firstDifference, 0);
  EXPECT_EQ(result.candidates[2].differences, 1) << "-0 against 0";
}

TEST(KernelComparison, SliceNotStartingAtZero) {
  const auto result = compareRanges(identity, {faulty(1000003)}, 1000000, 10);
  EXPECT_EQ(result.numbers, 10);
  EXPECT_EQ(result.candidates[0].differences, 1);
  EXPECT_EQ(result.candidates[0].firstDifference, 1000003);
}

TEST(KernelComparison, ProgressAfterEveryChunkUpToTheEnd) {
  std::vector<std::int64_t> seen;
  compareRanges(identity, {identity}, 5, 150001, [&](const ComparisonResult& r) { seen.push_back(r.numbers); });
  ASSERT_GE(seen.size(), 2u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 150001);
}

TEST(KernelComparison, EmptySliceComparesNothing) {
  int calls = 0;
  const auto result = compareRanges([&](double, std::int64_t, double*) { ++calls; }, {identity}, 0, 0);
  EXPECT_EQ(result.numbers, 0);
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace rootix::engine
