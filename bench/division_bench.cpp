#include "bench_registry.h"

#include "engine/range_kernel.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace rootix::bench {
namespace {

// Divisions each benchmark iteration issues per chain; chains are independent, so the
// divider's throughput, not its latency, sets the pace.
constexpr int kRounds = 1024;
constexpr int kChains = 16;
// Divisions one number of the common path needs.
constexpr int kDivisionsPerNumber = 12;

#if defined(__x86_64__)

// Each chain alternates between a and c / a, so operands stay ordinary normal numbers.
constexpr double kNumerator = 2.718281828459045;

double start(int chain) { return 1.0 + 0.0625 * chain; }

void divideXmm(double* sink) {
  const __m128d c = _mm_set1_pd(kNumerator);
  __m128d a[kChains];
  for (int k = 0; k < kChains; ++k) a[k] = _mm_set1_pd(start(k));
  for (int round = 0; round < kRounds; ++round) {
#pragma GCC unroll 16
    for (int k = 0; k < kChains; ++k) a[k] = _mm_div_pd(c, a[k]);
  }
  for (int k = 0; k < kChains; ++k) _mm_storeu_pd(sink + 2 * k, a[k]);
}

// Only these functions get the wider instruction sets; nothing shared is built with them.
#pragma GCC push_options
#pragma GCC target("avx2")
void divideYmm(double* sink) {
  const __m256d c = _mm256_set1_pd(kNumerator);
  __m256d a[kChains];
  for (int k = 0; k < kChains; ++k) a[k] = _mm256_set1_pd(start(k));
  for (int round = 0; round < kRounds; ++round) {
#pragma GCC unroll 16
    for (int k = 0; k < kChains; ++k) a[k] = _mm256_div_pd(c, a[k]);
  }
  for (int k = 0; k < kChains; ++k) _mm256_storeu_pd(sink + 4 * k, a[k]);
}
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f")
void divideZmm(double* sink) {
  const __m512d c = _mm512_set1_pd(kNumerator);
  __m512d a[kChains];
  for (int k = 0; k < kChains; ++k) a[k] = _mm512_set1_pd(start(k));
  for (int round = 0; round < kRounds; ++round) {
#pragma GCC unroll 16
    for (int k = 0; k < kChains; ++k) a[k] = _mm512_div_pd(c, a[k]);
  }
  for (int k = 0; k < kChains; ++k) _mm512_storeu_pd(sink + 8 * k, a[k]);
}
#pragma GCC pop_options

void divisions(benchmark::State& state, void (*divide)(double*), int width) {
  alignas(64) double sink[kChains * 8] = {};  // every chain's result is kept
  for (auto _ : state) {
    divide(sink);
    benchmark::DoNotOptimize(sink);
  }
  const double divisionsPerIteration = double(kRounds) * kChains * width;
  state.counters["per_division"] = benchmark::Counter(
      divisionsPerIteration, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  // The same time expressed as numbers of the common path (12 divisions each).
  reportNumbers(state, divisionsPerIteration / kDivisionsPerNumber);
}

#endif

}  // namespace

void registerDivisionBenchmarks() {
#if defined(__x86_64__)
  using engine::Isa;
  benchmark::RegisterBenchmark("DivisionBound/xmm", divisions, divideXmm, 2);
  if (engine::isaAvailable(Isa::AVX2)) benchmark::RegisterBenchmark("DivisionBound/ymm", divisions, divideYmm, 4);
  if (engine::isaAvailable(Isa::AVX512)) benchmark::RegisterBenchmark("DivisionBound/zmm", divisions, divideZmm, 8);
#endif
}

}  // namespace rootix::bench
