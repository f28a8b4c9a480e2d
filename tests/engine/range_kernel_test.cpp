#include "engine/range_kernel.h"

#include "engine/newton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace rootix::engine {

void PrintTo(const Kernel& kernel, std::ostream* os) { *os << kernelName(kernel); }

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// Compares bit patterns, so -0.0 against 0.0 or one NaN against another counts as a fault.
::testing::AssertionResult sameAsNewton(double first, std::int64_t count, const double* out) {
  const Newton newton;
  for (std::int64_t i = 0; i < count; ++i) {
    const double x = first + double(i);
    const double expected = newton.Sqrt(x);
    if (std::bit_cast<std::uint64_t>(out[i]) != std::bit_cast<std::uint64_t>(expected)) {
      return ::testing::AssertionFailure()
             << "x = " << x << " (index " << i << "): got " << out[i] << ", expected " << expected;
    }
  }
  return ::testing::AssertionSuccess();
}

class RangeKernel : public ::testing::TestWithParam<Kernel> {
 protected:
  // Computes [first, first + count) in pieces of `chunk`, checking each against Newton.
  void expectSweep(double first, std::int64_t count, std::int64_t chunk) {
    std::vector<double> out(static_cast<std::size_t>(chunk));
    for (std::int64_t done = 0; done < count; done += chunk) {
      const std::int64_t n = std::min(chunk, count - done);
      computeRange(GetParam(), first + double(done), n, out.data());
      ASSERT_TRUE(sameAsNewton(first + double(done), n, out.data()));
    }
  }
};

TEST_P(RangeKernel, EveryWholeNumberUpTo2To24) { expectSweep(0, std::int64_t(1) << 24, std::int64_t(1) << 20); }

// Blocks spread over the rest of the 32-bit range, with odd starts and lengths so that
// block boundaries fall everywhere; the last block ends on 2^31 - 1.
TEST_P(RangeKernel, SpreadUpTo2To31) {
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

// Starts whose numbers leave the common path somewhere in a block; each range covers two
// full blocks and a tail.
TEST_P(RangeKernel, AwkwardStartsMatchNewton) {
  const AwkwardStart starts[] = {
      {"negatives through 0..3", -70},
      {"lone bad lanes at 0..3 mid-block", -37},
      {"0..3 in the second block", -200},
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
      {"across the end of the multiply-add domain", 2147483600},
      {"past the end of the multiply-add domain", 2147483648.0},
  };
  std::vector<double> out(450);
  for (const AwkwardStart& start : starts) {
    SCOPED_TRACE(start.name);
    computeRange(GetParam(), start.first, std::int64_t(out.size()), out.data());
    EXPECT_TRUE(sameAsNewton(start.first, std::int64_t(out.size()), out.data()));
  }
}

// Odd lengths, tails and unaligned output: only out[0..count) is written.
TEST_P(RangeKernel, WritesExactlyTheRequestedNumbers) {
  constexpr double kGuard = 12345.5;
  constexpr std::int64_t kPad = 3;
  for (double first : {0.0, 1048573.0}) {
    for (std::int64_t count : {0, 1, 2, 3, 5, 7, 63, 64, 65, 127, 128, 129, 191, 192, 193, 385, 1000}) {
      SCOPED_TRACE("first " + std::to_string(first) + ", count " + std::to_string(count));
      std::vector<double> buffer(std::size_t(count + 2 * kPad + 1), kGuard);
      double* out = buffer.data() + kPad + 1;  // off every vector alignment
      computeRange(GetParam(), first, count, out);
      EXPECT_TRUE(sameAsNewton(first, count, out));
      for (std::int64_t i = -kPad - 1; i < 0; ++i) EXPECT_EQ(out[i], kGuard) << "written before the start at " << i;
      for (std::int64_t i = count; i < count + kPad; ++i) EXPECT_EQ(out[i], kGuard) << "written past the end at " << i;
    }
  }
}

TEST_P(RangeKernel, NegativeCountWritesNothing) {
  double out[4] = {7, 7, 7, 7};
  computeRange(GetParam(), 100, -5, out);
  EXPECT_EQ(std::count(std::begin(out), std::end(out), 7.0), 4);
}

INSTANTIATE_TEST_SUITE_P(EachKernel, RangeKernel, ::testing::ValuesIn(availableKernels()),
                         [](const ::testing::TestParamInfo<Kernel>& info) {
                           std::string name = kernelName(info.param);
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(RangeKernelCatalogue, ListsScalarFirstThenWidthsDivideFirst) {
  const std::vector<Kernel> kernels = availableKernels();
  ASSERT_FALSE(kernels.empty());
  EXPECT_EQ(kernels.front(), (Kernel{Isa::Scalar, Quotient::Divide}));
  for (size_t i = 0; i < kernels.size(); ++i) {
    EXPECT_TRUE(kernelAvailable(kernels[i])) << kernelName(kernels[i]);
    EXPECT_TRUE(isaAvailable(kernels[i].isa)) << kernelName(kernels[i]);
    if (i > 0 && kernels[i].isa != kernels[i - 1].isa) {
      EXPECT_LT(kernels[i - 1].isa, kernels[i].isa);
      EXPECT_EQ(kernels[i].quotient, Quotient::Divide) << kernelName(kernels[i]);
    }
  }
  // Neither the scalar loop nor SSE2 has a fused multiply-add.
  for (Isa isa : {Isa::Scalar, Isa::SSE2}) {
    for (Quotient quotient : {Quotient::Fma, Quotient::FmaDivide, Quotient::DivideFma})
      EXPECT_FALSE(kernelAvailable({isa, quotient})) << isaName(isa) << ' ' << quotientName(quotient);
  }
#if defined(__x86_64__)
  EXPECT_TRUE(kernelAvailable({Isa::SSE2, Quotient::Divide}));
#endif
}

TEST(RangeKernelCatalogue, NamesRoundTripIgnoringCase) {
  for (Isa isa : {Isa::SSE2, Isa::AVX2, Isa::AVX512}) {
    for (Quotient quotient : {Quotient::Divide, Quotient::Fma, Quotient::FmaDivide, Quotient::DivideFma}) {
      const Kernel kernel{isa, quotient};
      EXPECT_EQ(kernelFromName(kernelName(kernel)), kernel) << kernelName(kernel);
    }
  }
  EXPECT_EQ(kernelName({Isa::AVX512, Quotient::Fma}), "AVX512/fma");
  EXPECT_EQ(kernelName({Isa::AVX2, Quotient::DivideFma}), "AVX2/div+fma");
  EXPECT_EQ(kernelFromName("avx2/FMA+DIV"), (Kernel{Isa::AVX2, Quotient::FmaDivide}));
  EXPECT_EQ(kernelFromName("scalar"), (Kernel{Isa::Scalar, Quotient::Divide}));
  for (const char* bad : {"", "AVX2", "AVX2/", "/fma", "Scalar/fma", "AVX512/fma ", "NEON/divide"})
    EXPECT_EQ(kernelFromName(bad), std::nullopt) << '"' << bad << '"';
}

// A kernel no processor runs still computes, on the scalar loop.
TEST(RangeKernelCatalogue, UnavailableKernelFallsBackToScalar) {
  for (Kernel kernel : {Kernel{Isa::SSE2, Quotient::Fma}, Kernel{Isa::Scalar, Quotient::DivideFma}}) {
    std::vector<double> out(200);
    computeRange(kernel, 1000, 200, out.data());
    EXPECT_TRUE(sameAsNewton(1000, 200, out.data())) << kernelName(kernel);
  }
}

}  // namespace
}  // namespace rootix::engine
