#include "engine/stress_hash.h"

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>

// Only this file's own functions are built for AVX-512 (the pragma comes after every include).
#pragma GCC push_options
#pragma GCC target("avx512f")

namespace rootix::engine::detail {
namespace {

struct V {
  using Reg = __m512i;
  static constexpr int kWidth = 8;
  static Reg set1(std::uint64_t v) { return _mm512_set1_epi64(static_cast<long long>(v)); }
  static Reg load(const void* p) { return _mm512_loadu_si512(p); }
  static void store(void* p, Reg v) { _mm512_storeu_si512(p, v); }
  static Reg xorBits(Reg a, Reg b) { return _mm512_xor_si512(a, b); }
  static Reg add(Reg a, Reg b) { return _mm512_add_epi64(a, b); }
  // (The masked forms: the plain ones trip a false uninitialised warning in GCC 12.)
  static Reg mulLowHigh(Reg k) { return _mm512_maskz_mul_epu32(0xFF, k, _mm512_maskz_srli_epi64(0xFF, k, 32)); }
};

}  // namespace
}  // namespace rootix::engine::detail

#include "engine/stress_hash_lanes.h"

namespace rootix::engine::detail {

void hashLanesAvx512(std::uint64_t* acc, std::uint64_t* key, const double* values, std::int64_t count,
                     std::uint64_t step) {
  hashLanes<V>(acc, key, values, count, step);
}

}  // namespace rootix::engine::detail

#pragma GCC pop_options

#endif
