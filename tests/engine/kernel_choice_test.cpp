#include "engine/kernel_choice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace rootix::engine {
namespace {

const Kernel kDivide{Isa::AVX2, Quotient::Divide};
const Kernel kFma{Isa::AVX2, Quotient::Fma};
const Kernel kWide{Isa::AVX512, Quotient::Divide};

// Timings by kernel name and round; rounds past the list repeat its last entry.
class FakeTimings {
 public:
  explicit FakeTimings(std::map<std::string, std::vector<double>> byKernel) : byKernel_(std::move(byKernel)) {}
  double operator()(Kernel kernel) {
    const std::string name = kernelName(kernel);
    const std::vector<double>& times = byKernel_.at(name);
    const size_t round = rounds_[name]++;
    return times[std::min(round, times.size() - 1)];
  }

 private:
  std::map<std::string, std::vector<double>> byKernel_;
  std::map<std::string, size_t> rounds_;
};

struct ChoiceCase {
  const char* name;
  std::vector<double> divide, fma, wide;
  Kernel expected;
};

TEST(KernelChoice, FastestByBestTime) {
  const ChoiceCase cases[] = {
      {"a fast divider keeps the divide kernel", {1.0}, {1.5}, {1.2}, kDivide},
      {"multiply-adds faster than the divider", {2.0}, {1.1}, {1.3}, kFma},
      {"the narrower width measures faster", {1.0}, {1.5}, {1.4}, kDivide},
      {"the wider width measures faster", {1.0}, {1.5}, {0.6}, kWide},
      {"one disturbed round does not decide", {1.0, 9.0, 1.0}, {1.2, 1.2, 1.2}, {9.0, 9.0, 9.0}, kDivide},
      {"each keeps its best round", {1.0}, {5.0, 0.9, 5.0}, {2.0}, kFma},
      {"a tie goes to the earlier candidate", {1.0}, {1.0}, {1.0}, kDivide},
  };
  for (const ChoiceCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeTimings timings({{kernelName(kDivide), c.divide}, {kernelName(kFma), c.fma}, {kernelName(kWide), c.wide}});
    const Kernel chosen = fastestKernel({kDivide, kFma, kWide}, std::ref(timings), 3);
    EXPECT_EQ(kernelName(chosen), kernelName(c.expected));
  }
}

TEST(KernelChoice, NoCandidateMeansTheScalarLoop) {
  int calls = 0;
  const Kernel chosen = fastestKernel(
      {}, [&](Kernel) { return ++calls, 1.0; }, 3);
  EXPECT_EQ(chosen, (Kernel{Isa::Scalar, Quotient::Divide}));
  EXPECT_EQ(calls, 0);
}

TEST(KernelChoice, TimedChoiceIsAVectorKernelThisProcessorRuns) {
  KernelChoice choice;
  const Kernel chosen = choice.timed();
  EXPECT_TRUE(kernelAvailable(chosen)) << kernelName(chosen);
#if defined(__x86_64__)
  EXPECT_NE(chosen.isa, Isa::Scalar);
#endif
  EXPECT_EQ(choice.timed(), chosen) << "measured once";
  EXPECT_EQ(choice.active(), chosen);
  EXPECT_EQ(choice.describe(), kernelName(chosen) + " (timed)");
  EXPECT_GT(timeKernelBlock(chosen), 0.0);
}

TEST(KernelChoice, EnvironmentSetting) {
  struct Case {
    const char* value;
    std::optional<Kernel> expected;
    bool problem;
  };
  const Case cases[] = {
      {nullptr, std::nullopt, false},
      {"", std::nullopt, false},
      {"sse2/Divide", Kernel{Isa::SSE2, Quotient::Divide}, false},
      {"Scalar", Kernel{Isa::Scalar, Quotient::Divide}, false},
      {"SSE2/fma", std::nullopt, true},
      {"fastest", std::nullopt, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    std::string problem = "left over";
    EXPECT_EQ(kernelFromSetting(c.value, problem), c.expected);
    EXPECT_EQ(!problem.empty(), c.problem) << problem;
  }
  std::string problem;
  kernelFromSetting("turbo", problem);
  EXPECT_EQ(problem, "ROOTIX_KERNEL=turbo is not a kernel this processor runs; the timed choice is used.");
}

TEST(KernelChoice, ForcedKernelIsUsedUntilReleased) {
  KernelChoice choice;
  for (Kernel kernel : availableKernels()) {
    ASSERT_TRUE(choice.force(kernel)) << kernelName(kernel);
    EXPECT_EQ(choice.active(), kernel);
    EXPECT_EQ(choice.forced(), kernel);
    EXPECT_EQ(choice.describe(), kernelName(kernel) + " (forced)");
  }
  ASSERT_TRUE(choice.force(std::nullopt));
  EXPECT_EQ(choice.forced(), std::nullopt);
  EXPECT_EQ(choice.active(), choice.timed());
}

TEST(KernelChoice, KernelTheProcessorLacksIsRefused) {
  const Kernel scalar{Isa::Scalar, Quotient::Divide};
  // SSE2 has no multiply-add kernel on any processor.
  const Kernel impossible{Isa::SSE2, Quotient::Fma};
  KernelChoice choice(scalar);
  EXPECT_FALSE(choice.force(impossible));
  EXPECT_EQ(choice.active(), scalar);
  EXPECT_EQ(KernelChoice(impossible).forced(), std::nullopt) << "nor taken at start";
}

// What a run gets: the active kernel's bits, name and how it was chosen, fixed when asked.
TEST(KernelChoice, KernelForRun) {
  const Kernel scalar{Isa::Scalar, Quotient::Divide};
  KernelChoice choice(scalar);
  const RunKernel forced = choice.kernelForRun();
  ASSERT_TRUE(choice.force(std::nullopt));
  const RunKernel timed = choice.kernelForRun();
  EXPECT_EQ(forced.name, "Scalar");
  EXPECT_TRUE(forced.forced);
  EXPECT_EQ(forced.describe(), "Scalar (forced)");
  EXPECT_EQ(timed.name, kernelName(choice.timed()));
  EXPECT_FALSE(timed.forced);

  std::vector<double> expected(1000), fromForced(1000), fromTimed(1000);
  computeRange(scalar, 123456.0, 1000, expected.data());
  forced.compute(123456.0, 1000, fromForced.data());
  timed.compute(123456.0, 1000, fromTimed.data());
  EXPECT_EQ(fromForced, expected);
  EXPECT_EQ(fromTimed, expected);
}

}  // namespace
}  // namespace rootix::engine
