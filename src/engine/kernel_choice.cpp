#include "engine/kernel_choice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace rootix::engine {
namespace {

// The selection's block: numbers from the top of the 32-bit range, whose cost is that of any
// benchmark number; small enough that the whole selection takes a few milliseconds.
constexpr double kBlockFirst = 1073741824.0;
constexpr std::int64_t kBlockCount = 4096;
constexpr int kRounds = 7;

}  // namespace

std::string RunKernel::describe() const { return name + (forced ? " (forced)" : " (timed)"); }

KernelChoice::KernelChoice(std::optional<Kernel> forced) {
  if (forced && kernelAvailable(*forced)) forced_ = forced;
}

Kernel KernelChoice::timed() {
  if (!timed_) {
    std::vector<Kernel> candidates;
    for (Kernel kernel : availableKernels()) {
      if (kernel.isa != Isa::Scalar) candidates.push_back(kernel);
    }
    timed_ = fastestKernel(candidates, timeKernelBlock, kRounds);
  }
  return *timed_;
}

Kernel KernelChoice::active() { return forced_ ? *forced_ : timed(); }

bool KernelChoice::force(std::optional<Kernel> kernel) {
  if (kernel && !kernelAvailable(*kernel)) return false;
  forced_ = kernel;
  return true;
}

std::string KernelChoice::describe() { return kernelForRun().describe(); }

RunKernel KernelChoice::kernelForRun() {
  const Kernel kernel = active();
  return RunKernel{[kernel](double first, std::int64_t count, double* out) { computeRange(kernel, first, count, out); },
                   kernelName(kernel), forced_.has_value()};
}

std::optional<Kernel> kernelFromSetting(const char* value, std::string& problem) {
  problem.clear();
  if (value == nullptr || *value == '\0') return std::nullopt;
  const std::optional<Kernel> kernel = kernelFromName(value);
  if (kernel && kernelAvailable(*kernel)) return kernel;
  problem = std::string("ROOTIX_KERNEL=") + value + " is not a kernel this processor runs; the timed choice is used.";
  return std::nullopt;
}

std::optional<Kernel> kernelFromEnvironment() {
  std::string problem;
  const std::optional<Kernel> kernel = kernelFromSetting(std::getenv("ROOTIX_KERNEL"), problem);
  if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
  return kernel;
}

Kernel fastestKernel(const std::vector<Kernel>& candidates, const std::function<double(Kernel)>& secondsFor,
                     int rounds) {
  if (candidates.empty()) return Kernel{};
  std::vector<double> best(candidates.size(), std::numeric_limits<double>::infinity());
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < candidates.size(); ++i) best[i] = std::min(best[i], secondsFor(candidates[i]));
  }
  size_t fastest = 0;
  for (size_t i = 1; i < candidates.size(); ++i) {
    if (best[i] < best[fastest]) fastest = i;
  }
  return candidates[fastest];
}

double timeKernelBlock(Kernel kernel) {
  std::vector<double> out(kBlockCount);
  const auto start = std::chrono::steady_clock::now();
  computeRange(kernel, kBlockFirst, kBlockCount, out.data());
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(end - start).count();
}

}  // namespace rootix::engine
