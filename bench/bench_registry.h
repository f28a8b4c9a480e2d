#pragma once

#include <benchmark/benchmark.h>

namespace rootix::engine {
class KernelChoice;
}

namespace rootix::bench {

// Counter holding the time per number (seconds, shown with an SI prefix). Every benchmark
// that sets it appears in the summary printed after the run.
inline constexpr const char* kPerNumber = "per_number";

inline void reportNumbers(benchmark::State& state, double numbersPerIteration) {
  state.counters[kPerNumber] = benchmark::Counter(
      numbersPerIteration, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Newton::Sqrt one number at a time, and every exact range kernel (width and quotient).
void registerKernelBenchmarks();
// Independent double divisions at each vector width: the bound for 12 divisions a number.
void registerDivisionBenchmarks();
// Whole test runs through the worker threads (run_bench.cpp).
void registerRunBenchmarks();
// A stability test's pass against the plain run on the same threads (stress_bench.cpp).
void registerStressBenchmarks();

// The kernel choice every run of the benchmarks uses (ROOTIX_KERNEL forces one, as in rootix).
engine::KernelChoice& benchKernels();

// One plain run of `test` as "st" starts it, on `threads` workers; its elapsed seconds.
double plainRunSeconds(int test, int threads);

}  // namespace rootix::bench
