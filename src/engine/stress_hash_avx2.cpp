#include "engine/stress_hash.h"

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>

// Only this file's own functions are built for AVX2 (the pragma comes after every include).
#pragma GCC push_options
#pragma GCC target("avx2")

namespace rootix::engine::detail {
namespace {

struct V {
  using Reg = __m256i;
  static constexpr int kWidth = 4;
  static Reg set1(std::uint64_t v) { return _mm256_set1_epi64x(static_cast<long long>(v)); }
  static Reg load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
  static void store(void* p, Reg v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
  static Reg xorBits(Reg a, Reg b) { return _mm256_xor_si256(a, b); }
  static Reg add(Reg a, Reg b) { return _mm256_add_epi64(a, b); }
  static Reg mulLowHigh(Reg k) { return _mm256_mul_epu32(k, _mm256_srli_epi64(k, 32)); }
};

}  // namespace
}  // namespace rootix::engine::detail

#include "engine/stress_hash_lanes.h"

namespace rootix::engine::detail {

void hashLanesAvx2(std::uint64_t* acc, std::uint64_t* key, const double* values, std::int64_t count,
                   std::uint64_t step) {
  hashLanes<V>(acc, key, values, count, step);
}

}  // namespace rootix::engine::detail

#pragma GCC pop_options

#endif
