#include "engine/verification.h"

#include <gtest/gtest.h>

#include "engine/newton.h"

#include <cmath>
#include <limits>

namespace rootix::engine {
namespace {

struct MarkCase {
  int32_t lo;
  int32_t hi;
  // Percentage printed at lo, lo + 1, ... (0: none).
  std::vector<int> printed;
};

class VerificationMarks : public ::testing::TestWithParam<MarkCase> {};

TEST_P(VerificationMarks, FirstMatchingMarkOnly) {
  const MarkCase& c = GetParam();
  const auto marks = verificationMarks(c.lo, c.hi);
  std::vector<int> printed;
  for (int64_t i = c.lo; i <= c.hi; ++i) printed.push_back(verificationMarkAt(marks, static_cast<double>(i)));
  EXPECT_EQ(printed, c.printed);
}

INSTANTIATE_TEST_SUITE_P(SmallRanges, VerificationMarks,
                         ::testing::Values(MarkCase{0, 0, {20}},              // all four marks on the one number
                                           MarkCase{5, 6, {20, 60}},          // 5.2, 5.4 -> 5; 5.6, 5.8 -> 6
                                           MarkCase{0, 2, {20, 40, 80}},      // 0.4 -> 0; 0.8, 1.2 -> 1; 1.6 -> 2
                                           MarkCase{10, 13, {0, 20, 60, 0}},  // 10.6, 11.2 -> 11; 11.8, 12.4 -> 12
                                           MarkCase{0, 10, {0, 0, 20, 0, 40, 0, 60, 0, 80, 0, 0}}));

TEST(Verification, MarksOfALargeRange) {
  const auto marks = verificationMarks(1048576, 2097151);
  EXPECT_EQ(marks[0], 1258291);  // 1048576 + 1048575 * 0.2 = 1258291.0
  EXPECT_EQ(marks[3], 1887436);  // ... * 0.8 = 1887436.0
}

TEST(Verification, KernelResultsPassUpTo1055322) {
  const Newton newton;
  EXPECT_TRUE(resultMatches(newton.Sqrt(0), 0));
  EXPECT_TRUE(resultMatches(newton.Sqrt(3), 3));
  EXPECT_TRUE(resultMatches(newton.Sqrt(1055322), 1055322));
  EXPECT_FALSE(resultMatches(newton.Sqrt(1055323), 1055323));
  EXPECT_FALSE(resultMatches(newton.Sqrt(2097151), 2097151));
}

TEST(Verification, RoundingEdges) {
  // This root squares to exactly 8.5, which rounds to the even neighbour.
  ASSERT_EQ(2.9154759474226504 * 2.9154759474226504, 8.5);
  EXPECT_TRUE(resultMatches(2.9154759474226504, 8));
  EXPECT_FALSE(resultMatches(2.9154759474226504, 9));
  EXPECT_TRUE(resultMatches(1.6, 3));  // 2.56 is well off 3 but still rounds to it
  EXPECT_FALSE(resultMatches(1.6, 2));
  EXPECT_FALSE(resultMatches(-1, 3));
  EXPECT_FALSE(resultMatches(std::numeric_limits<double>::quiet_NaN(), 0));
  EXPECT_FALSE(resultMatches(std::numeric_limits<double>::infinity(), 5));
}

}  // namespace
}  // namespace rootix::engine
