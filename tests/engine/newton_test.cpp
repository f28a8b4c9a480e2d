#include "engine/newton.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>

namespace rootix::engine {
namespace {

std::uint64_t bits(double value) { return std::bit_cast<std::uint64_t>(value); }

struct ExactCase {
  double x;
  double root;
};

void PrintTo(const ExactCase& c, std::ostream* os) { *os << "Sqrt(" << c.x << ")"; }

class NewtonExact : public ::testing::TestWithParam<ExactCase> {};

// Results of the fixed step sequence, bit for bit; large inputs are deliberately far from
// the true root because the step count is fixed.
TEST_P(NewtonExact, MatchesBitForBit) {
  const ExactCase c = GetParam();
  const double r = Newton().Sqrt(c.x);
  EXPECT_EQ(bits(r), bits(c.root)) << std::hexfloat << r << " vs " << c.root;
}

INSTANTIATE_TEST_SUITE_P(Table, NewtonExact,
                         ::testing::Values(ExactCase{0, 0.0}, ExactCase{1, 1.0}, ExactCase{2, 1.4142135623730951},
                                           ExactCase{3, 1.7320508075688774}, ExactCase{4, 2.0},
                                           ExactCase{10, 3.162277660168379}, ExactCase{1023, 31.984371183438952},
                                           ExactCase{16383, 127.99609369039354}, ExactCase{1048576, 1024.0002304673749},
                                           ExactCase{1055323, 1027.289394476431},
                                           ExactCase{33554432, 6520.388134078477}),
                         [](const ::testing::TestParamInfo<ExactCase>& info) {
                           return "x" + std::to_string(static_cast<long long>(info.param.x));
                         });

TEST(Newton, ThreeEndsOneUnitAboveTheRoundedRoot) { EXPECT_EQ(Newton().Sqrt(3), std::nextafter(std::sqrt(3.0), 4.0)); }

// 1,055,323 is the first whole number whose squared result no longer rounds back to it.
TEST(Newton, SquareRoundsBackUpToTheFirstMiss) {
  const Newton newton;
  for (int x = 1; x < 1055323; ++x) {
    const double r = newton.Sqrt(x);
    ASSERT_EQ(std::nearbyint(r * r), x) << "x = " << x;
  }
  const double miss = newton.Sqrt(1055323);
  EXPECT_EQ(std::nearbyint(miss * miss), 1055324);
}

TEST(Newton, EveryLargerWholeNumberMisses) {
  const Newton newton;
  for (double x = 1055323; x < 2147483648.0; x = std::floor(x * 1.0009) + 1) {
    const double r = newton.Sqrt(x);
    ASSERT_GT(std::nearbyint(r * r), x) << "x = " << x;
  }
}

TEST(Newton, ZeroAndNanGiveZero) {
  const Newton newton;
  EXPECT_EQ(bits(newton.Sqrt(0.0)), bits(0.0));
  EXPECT_EQ(bits(newton.Sqrt(-0.0)), bits(0.0));
  EXPECT_EQ(bits(newton.Sqrt(std::numeric_limits<double>::quiet_NaN())), bits(0.0));
  EXPECT_EQ(bits(newton.Sqrt(-std::numeric_limits<double>::quiet_NaN())), bits(0.0));
}

// Inputs whose estimate turns into NaN never settle; the chain must give up with the
// sentinel rather than loop forever.
TEST(Newton, RunawayChainsReturnTheSentinel) {
  const Newton newton;
  constexpr double inf = std::numeric_limits<double>::infinity();
  // The smallest subnormal halves to 0, so its first quotient is already infinite.
  for (double x : {inf, -inf, std::numeric_limits<double>::max(), 1e308, 5e-324})
    EXPECT_EQ(newton.Sqrt(x), Newton::kNonConvergent) << "x = " << x;
}

// Nothing stops a negative number at the door: it runs the chain like any other value.
TEST(Newton, NegativeNumbersEnterTheChain) {
  const Newton newton;
  for (double x : {-1.0, -2.0, -3.0, -1e6}) {
    const double r = newton.Sqrt(x);
    EXPECT_NE(r, 0.0) << "x = " << x;
    EXPECT_NE(r, Newton::kNonConvergent) << "x = " << x;
  }
  // -4: g = -2 steps exactly to 0, the next quotient is +inf and the one after NaN.
  EXPECT_EQ(newton.Sqrt(-4.0), Newton::kNonConvergent);
}

TEST(Newton, FractionsConverge) {
  const Newton newton;
  EXPECT_EQ(newton.Sqrt(0.25), 0.5);
  EXPECT_EQ(newton.Sqrt(2.25), 1.5);
  EXPECT_DOUBLE_EQ(newton.Sqrt(0.1), std::sqrt(0.1));
}

}  // namespace
}  // namespace rootix::engine
