#include "bench_registry.h"

#include "engine/kernel_choice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace rootix::bench {
namespace {

constexpr double kNumbersIn32M = 33554432.0;

// The usual console table, plus the best time per number of every benchmark that reports
// one, kept for the side-by-side summary at the end.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  using ConsoleReporter::ConsoleReporter;

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const auto counter = run.counters.find(kPerNumber);
      if (counter == run.counters.end()) continue;
      const std::string name = run.benchmark_name();
      if (!perNumber_.count(name)) order_.push_back(name);
      const double seconds = counter->second.value;
      const auto [it, added] = perNumber_.try_emplace(name, seconds);
      if (!added) it->second = std::min(it->second, seconds);
    }
  }

  void printSummary() const {
    if (order_.empty()) return;
    const double loop = find("PerNumberLoop");
    double bound = kNone;
    for (const std::string& name : order_) {
      if (name.rfind("DivisionBound/", 0) == 0)
        bound = std::isnan(bound) ? perNumber_.at(name) : std::min(bound, perNumber_.at(name));
    }

    std::printf("\nTime per number (a 32M test is %.0f numbers)\n", kNumbersIn32M);
    std::printf("  %-24s %10s %10s %14s %14s\n", "", "ns/number", "s per 32M", "loop / this", "this / bound");
    for (const std::string& name : order_) {
      const double seconds = perNumber_.at(name);
      std::printf("  %-24s %10.3f %10.4f %14s %14s\n", name.c_str(), seconds * 1e9, seconds * kNumbersIn32M,
                  ratio(loop, seconds).c_str(), ratio(seconds, bound).c_str());
    }
    if (!std::isnan(bound)) {
      std::printf(
          "Division bound (12 divisions a number at the best measured rate): "
          "%.3f ns/number, %.4f s per 32M\n",
          bound * 1e9, bound * kNumbersIn32M);
    }
    std::printf("Kernel the workers use: %s\n", benchKernels().describe().c_str());
  }

 private:
  static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

  double find(const std::string& name) const {
    const auto it = perNumber_.find(name);
    return it == perNumber_.end() ? kNone : it->second;
  }

  static std::string ratio(double numerator, double denominator) {
    const double value = numerator / denominator;
    if (!std::isfinite(value)) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2fx", value);
    return text;
  }

  std::vector<std::string> order_;
  std::map<std::string, double> perNumber_;
};

}  // namespace

engine::KernelChoice& benchKernels() {
  static engine::KernelChoice kernels(engine::kernelFromEnvironment());
  return kernels;
}

}  // namespace rootix::bench

int main(int argc, char** argv) {
  using namespace rootix::bench;
  registerKernelBenchmarks();
  registerDivisionBenchmarks();
  registerRunBenchmarks();
  registerStressBenchmarks();

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Our own console reporter replaces the library's, so colour follows the terminal.
  SummaryReporter reporter(isatty(fileno(stdout)) ? SummaryReporter::OO_ColorTabular : SummaryReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printSummary();
  benchmark::Shutdown();
  return 0;
}
