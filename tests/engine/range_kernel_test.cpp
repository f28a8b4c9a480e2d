#include "engine/range_kernel.h"

#include "engine/newton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace rootix::engine {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// Compares bit patterns, so -0.0 against 0.0 or one NaN against another counts as a fault.
::testing::AssertionResult sameAsNewton(double first, std::int64_t count, const double* out)
{
    const Newton newton;
    for (std::int64_t i = 0; i < count; ++i) {
        const double x = first + double(i);
        const double expected = newton.Sqrt(x);
        if (std::bit_cast<std::uint64_t>(out[i]) != std::bit_cast<std::uint64_t>(expected)) {
            return ::testing::AssertionFailure()
                << "x = " << x << " (index " << i << "): got " << out[i]
                << ", expected " << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

class RangeKernel : public ::testing::TestWithParam<Isa> {
protected:
    // Computes [first, first + count) in pieces of `chunk`, checking each against Newton.
    void expectSweep(double first, std::int64_t count, std::int64_t chunk)
    {
        std::vector<double> out(static_cast<std::size_t>(chunk));
        for (std::int64_t done = 0; done < count; done += chunk) {
            const std::int64_t n = std::min(chunk, count - done);
            computeRange(GetParam(), first + double(done), n, out.data());
            ASSERT_TRUE(sameAsNewton(first + double(done), n, out.data()));
        }
    }
};

TEST_P(RangeKernel, EveryWholeNumberUpTo2To24)
{
    expectSweep(0, std::int64_t(1) << 24, std::int64_t(1) << 20);
}

// Blocks spread over the rest of the 32-bit range, with odd starts and lengths so that
// block boundaries fall everywhere; the last block ends on 2^31 - 1.
TEST_P(RangeKernel, SpreadUpTo2To31)
{
    constexpr double kLast = 2147483647.0;
    constexpr std::int64_t kLength = 1001;
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    for (int block = 0; block < 1500; ++block) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        const double span = kLast - double(1 << 24) - kLength;
        const double first = double(1 << 24) + std::floor(double(state >> 11) / 0x1p53 * span);
        ASSERT_NO_FATAL_FAILURE(expectSweep(first, kLength, kLength));
    }
    ASSERT_NO_FATAL_FAILURE(expectSweep(kLast - kLength + 1, kLength, kLength));
}

struct AwkwardStart {
    const char* name;
    double first;
};

// Starts whose numbers leave the common path somewhere in the block; each range is long
// enough to cover full blocks and a tail.
TEST_P(RangeKernel, AwkwardStartsMatchNewton)
{
    const AwkwardStart starts[] = {
        {"negatives through 0..3", -70},
        {"lone bad lanes at 0..3 mid-block", -37},
        {"negative fractions", -3.75},
        {"fractions", 0.5},
        {"tenths", 0.1},
        {"subnormal", 5e-324},
        {"tiny", 1e-310},
        {"NaN", kNan},
        {"+inf", kInf},
        {"-inf", -kInf},
        {"largest double", std::numeric_limits<double>::max()},
        {"huge", 1e300},
        {"overflowing square", 1e155},
        {"just below overflow", 1e154},
        {"2^52 (halves round)", 0x1p52},
        {"2^53 (steps of 1 round away)", 0x1p53},
        {"-0", -0.0},
        {"large negative", -1e9},
    };
    std::vector<double> out(131);
    for (const AwkwardStart& start : starts) {
        SCOPED_TRACE(start.name);
        computeRange(GetParam(), start.first, std::int64_t(out.size()), out.data());
        EXPECT_TRUE(sameAsNewton(start.first, std::int64_t(out.size()), out.data()));
    }
}

// Odd lengths, tails and unaligned output: only out[0..count) is written.
TEST_P(RangeKernel, WritesExactlyTheRequestedNumbers)
{
    constexpr double kGuard = 12345.5;
    constexpr std::int64_t kPad = 3;
    for (double first : {0.0, 1048573.0}) {
        for (std::int64_t count : {0, 1, 2, 3, 5, 7, 63, 64, 65, 127, 128, 129, 1000}) {
            SCOPED_TRACE("first " + std::to_string(first) + ", count " + std::to_string(count));
            std::vector<double> buffer(std::size_t(count + 2 * kPad + 1), kGuard);
            double* out = buffer.data() + kPad + 1; // off every vector alignment
            computeRange(GetParam(), first, count, out);
            EXPECT_TRUE(sameAsNewton(first, count, out));
            for (std::int64_t i = -kPad - 1; i < 0; ++i)
                EXPECT_EQ(out[i], kGuard) << "written before the start at " << i;
            for (std::int64_t i = count; i < count + kPad; ++i)
                EXPECT_EQ(out[i], kGuard) << "written past the end at " << i;
        }
    }
}

TEST_P(RangeKernel, NegativeCountWritesNothing)
{
    double out[4] = {7, 7, 7, 7};
    computeRange(GetParam(), 100, -5, out);
    EXPECT_EQ(std::count(std::begin(out), std::end(out), 7.0), 4);
}

INSTANTIATE_TEST_SUITE_P(EachIsa, RangeKernel, ::testing::ValuesIn(availableIsas()),
    [](const ::testing::TestParamInfo<Isa>& info) { return std::string(isaName(info.param)); });

TEST(RangeKernelDispatch, ListsScalarFirstAndBestLast)
{
    const std::vector<Isa> isas = availableIsas();
    ASSERT_FALSE(isas.empty());
    EXPECT_EQ(isas.front(), Isa::Scalar);
    EXPECT_EQ(isas.back(), bestIsa());
    EXPECT_TRUE(std::is_sorted(isas.begin(), isas.end()));
    for (Isa isa : isas)
        EXPECT_TRUE(isaAvailable(isa)) << isaName(isa);
#if defined(__x86_64__)
    EXPECT_TRUE(isaAvailable(Isa::SSE2));
#endif
}

TEST(RangeKernelDispatch, DefaultUsesTheBestVariant)
{
    std::vector<double> viaDefault(300);
    std::vector<double> viaBest(300);
    computeRange(-5, 300, viaDefault.data());
    computeRange(bestIsa(), -5, 300, viaBest.data());
    EXPECT_TRUE(sameAsNewton(-5, 300, viaDefault.data()));
    EXPECT_EQ(viaDefault, viaBest);
}

} // namespace
} // namespace rootix::engine
