#include "engine/run_plan.h"

#include <gtest/gtest.h>

#include "platform/runtime_error.h"

namespace rootix::engine {
namespace {

TEST(RunPlan, TestSizes) {
  EXPECT_EQ(testLastNumber(6, false), 33554431);
  EXPECT_EQ(testLastNumber(11, false), 1073741823);
  EXPECT_EQ(testLastNumber(12, false), 2147483647);
  EXPECT_EQ(testLastNumber(1, true), 1023);
  EXPECT_EQ(testLastNumber(-5, false), 16383);
  EXPECT_EQ(testLastNumber(-5, true), 15);
  // The announcement always names the full-size count.
  EXPECT_EQ(announcedLastNumber(-5), 16383);
  EXPECT_EQ(announcedLastNumber(13), 4294967295.0);
}

struct SplitCase {
  const char* name;
  double n;
  int threads;
  std::vector<std::pair<int32_t, int32_t>> ranges;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitRanges : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitRanges, BoundsRoundHalfToEvenAndAreShared) {
  const SplitCase& c = GetParam();
  const auto ranges = splitRanges(c.n, c.threads);
  ASSERT_EQ(ranges.size(), c.ranges.size());
  for (size_t i = 0; i < ranges.size(); ++i) {
    EXPECT_EQ(ranges[i].threadId, static_cast<int16_t>(i + 1));
    EXPECT_EQ(std::make_pair(ranges[i].low, ranges[i].high), c.ranges[i]) << "worker " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitRanges,
    ::testing::Values(
        // share 262,143.75: 262,143.75 -> 262,144 and 786,431.25 -> 786,431.
        SplitCase{"FourThreadsTest1", 1048575, 4, {{0, 262144}, {262144, 524288}, {524288, 786431}, {786431, 1048575}}},
        // Bounds at 2.5 and 7.5 go to the even neighbours 2 and 8.
        SplitCase{"HalvesToEven", 10, 4, {{0, 2}, {2, 5}, {5, 8}, {8, 10}}},
        SplitCase{"OneThread", 33554431, 1, {{0, 33554431}}},
        // More threads than numbers: empty-looking ranges of one shared number.
        SplitCase{"TinyRanges", 3, 8, {{0, 0}, {0, 1}, {1, 1}, {1, 2}, {2, 2}, {2, 2}, {2, 3}, {3, 3}}},
        SplitCase{"Test12TwoThreads", 2147483647, 2, {{0, 1073741824}, {1073741824, 2147483647}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunPlan, ManyThreadsCoverEveryNumberOnce) {
  const auto ranges = splitRanges(15, 4096);
  ASSERT_EQ(ranges.size(), 4096u);
  EXPECT_EQ(ranges.front().low, 0);
  EXPECT_EQ(ranges.back().high, 15);
  for (size_t i = 1; i < ranges.size(); ++i) {
    EXPECT_EQ(ranges[i].low, ranges[i - 1].high);
    EXPECT_LE(ranges[i].low, ranges[i].high);
  }
}

TEST(RunPlan, FailuresBeforeAnyWorker) {
  auto codeOf = [](double n, int threads) {
    try {
      splitRanges(n, threads);
    } catch (const RuntimeError& e) {
      return e.code();
    }
    return 0;
  };
  EXPECT_EQ(codeOf(testLastNumber(13, false), 4), kOverflow);
  EXPECT_EQ(codeOf(testLastNumber(13, false), 4096), kOverflow);
  EXPECT_EQ(codeOf(testLastNumber(12, false), 4096), 0);
  EXPECT_EQ(codeOf(1023, 0), 11);  // division by zero
  EXPECT_EQ(codeOf(1023, -1), kInvalidProcedureCall);
}

}  // namespace
}  // namespace rootix::engine
