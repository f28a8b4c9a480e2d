#include "engine/kernel_choice.h"

#include <algorithm>
#include <atomic>
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

constexpr int kNone = -1;

int encode(Kernel kernel) { return static_cast<int>(kernel.isa) * 4 + static_cast<int>(kernel.quotient); }
Kernel decode(int code) { return {static_cast<Isa>(code / 4), static_cast<Quotient>(code % 4)}; }

// The forced kernel's code, or kNone. Read on every computeRange call, so it is one atomic.
std::atomic<int>& forcedCode() {
  static std::atomic<int> code{[] {
    std::string problem;
    const std::optional<Kernel> kernel = kernelFromSetting(std::getenv("ROOTIX_KERNEL"), problem);
    if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
    return kernel ? encode(*kernel) : kNone;
  }()};
  return code;
}

}  // namespace

std::optional<Kernel> kernelFromSetting(const char* value, std::string& problem) {
  problem.clear();
  if (value == nullptr || *value == '\0') return std::nullopt;
  const std::optional<Kernel> kernel = kernelFromName(value);
  if (kernel && kernelAvailable(*kernel)) return kernel;
  problem = std::string("ROOTIX_KERNEL=") + value + " is not a kernel this processor runs; the timed choice is used.";
  return std::nullopt;
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

Kernel timedKernel() {
  static const Kernel chosen = [] {
    std::vector<Kernel> candidates;
    for (Kernel kernel : availableKernels()) {
      if (kernel.isa != Isa::Scalar) candidates.push_back(kernel);
    }
    return fastestKernel(candidates, timeKernelBlock, kRounds);
  }();
  return chosen;
}

std::optional<Kernel> forcedKernel() {
  const int code = forcedCode().load(std::memory_order_relaxed);
  if (code == kNone) return std::nullopt;
  return decode(code);
}

bool forceKernel(std::optional<Kernel> kernel) {
  if (kernel && !kernelAvailable(*kernel)) return false;
  forcedCode().store(kernel ? encode(*kernel) : kNone, std::memory_order_relaxed);
  return true;
}

Kernel activeKernel() {
  const std::optional<Kernel> forced = forcedKernel();
  return forced ? *forced : timedKernel();
}

std::string describeActiveKernel() {
  const std::optional<Kernel> forced = forcedKernel();
  return kernelName(forced ? *forced : timedKernel()) + (forced ? " (forced)" : " (timed)");
}

}  // namespace rootix::engine
