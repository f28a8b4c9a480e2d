// rootix_kernel_proof: shows that the multiply-add range kernels give the divide kernel's
// results bit for bit, by computing every whole number of a slice (by default 0 .. 2^31 - 1,
// every number of tests 1 to 12) with both and counting the numbers that differ.
//
//   rootix_kernel_proof [--first=N] [--count=N] [--kernels=AVX512/fma,AVX2/div+fma,...]
//
// Exit status: 0 no differences, 1 differences, 2 bad arguments.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/kernel_comparison.h"
#include "engine/range_kernel.h"

namespace {

using rootix::engine::Kernel;
using rootix::engine::Quotient;

constexpr double kDomainEnd = rootix::engine::kFmaDomainEnd;
// A progress line every this many numbers.
constexpr std::int64_t kProgressSpan = std::int64_t{1} << 27;

bool readWhole(std::string_view text, double& value) {
  if (text.empty() || text.size() > 15) return false;
  double v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

int usage(const char* message) {
  std::fprintf(stderr, "%s\nusage: rootix_kernel_proof [--first=N] [--count=N] [--kernels=NAME,NAME...]\n", message);
  return 2;
}

// The widest divide kernel: the reference every multiply-add kernel must match.
Kernel referenceKernel() {
  Kernel reference;
  for (Kernel k : rootix::engine::availableKernels()) {
    if (k.quotient == Quotient::Divide) reference = k;
  }
  return reference;
}

}  // namespace

int main(int argc, char** argv) {
  double first = 0;
  double count = kDomainEnd;
  std::vector<Kernel> kernels;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string_view key) { return arg.substr(key.size()); };
    if (arg.starts_with("--first=")) {
      if (!readWhole(value("--first="), first)) return usage("--first= takes a whole number");
    } else if (arg.starts_with("--count=")) {
      if (!readWhole(value("--count="), count)) return usage("--count= takes a whole number");
    } else if (arg.starts_with("--kernels=")) {
      std::string_view list = value("--kernels=");
      while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view name = list.substr(0, comma);
        const auto kernel = rootix::engine::kernelFromName(name);
        if (!kernel || !rootix::engine::kernelAvailable(*kernel)) {
          std::fprintf(stderr, "not a kernel this processor runs: %.*s\n", int(name.size()), name.data());
          return 2;
        }
        kernels.push_back(*kernel);
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
      }
    } else {
      return usage("unknown argument");
    }
  }
  if (first + count > kDomainEnd) return usage("the slice must end at 2^31 at most");
  if (kernels.empty()) {
    for (Kernel k : rootix::engine::availableKernels()) {
      if (k.quotient != Quotient::Divide) kernels.push_back(k);
    }
  }

  const Kernel reference = referenceKernel();
  std::printf("Numbers %.0f .. %.0f (%.0f), reference %s\n", first, first + count - 1, count,
              rootix::engine::kernelName(reference).c_str());
  if (kernels.empty()) {
    std::printf("This processor runs no multiply-add kernel: nothing to compare.\n");
    return 0;
  }
  auto functionOf = [](Kernel k) -> rootix::engine::RangeFunction {
    return [k](double x, std::int64_t n, double* out) { rootix::engine::computeRange(k, x, n, out); };
  };
  std::vector<rootix::engine::RangeFunction> candidates;
  for (Kernel k : kernels) candidates.push_back(functionOf(k));

  std::int64_t nextReport = kProgressSpan;
  const auto start = std::chrono::steady_clock::now();
  const auto result = rootix::engine::compareRanges(
      functionOf(reference), candidates, first, static_cast<std::int64_t>(count),
      [&](const rootix::engine::ComparisonResult& r) {
        if (r.numbers < nextReport) return;
        nextReport += kProgressSpan;
        std::int64_t differences = 0;
        for (const auto& t : r.candidates) differences += t.differences;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("  %11lld of %.0f numbers, %lld differences, %.1f s\n", static_cast<long long>(r.numbers), count,
                    static_cast<long long>(differences), elapsed);
        std::fflush(stdout);
      });

  std::int64_t total = 0;
  std::printf("%-16s %12s %10s %12s\n", "kernel", "differences", "seconds", "ns/number");
  std::printf("%-16s %12s %10.2f %12.3f\n", rootix::engine::kernelName(reference).c_str(), "reference",
              result.referenceSeconds, result.referenceSeconds / count * 1e9);
  for (size_t k = 0; k < kernels.size(); ++k) {
    const auto& t = result.candidates[k];
    total += t.differences;
    std::printf("%-16s %12lld %10.2f %12.3f", rootix::engine::kernelName(kernels[k]).c_str(),
                static_cast<long long>(t.differences), t.seconds, t.seconds / count * 1e9);
    if (t.differences != 0) std::printf("   first at %.0f", t.firstDifference);
    std::printf("\n");
  }
  std::printf("%s: %lld differences over %.0f numbers\n", total == 0 ? "PASS" : "FAIL", static_cast<long long>(total),
              count);
  return total == 0 ? 0 : 1;
}
