#include "engine/stress_hash.h"

#include <cstring>

#include "engine/range_kernel.h"

#if defined(__x86_64__)
#include <immintrin.h>

// SSE2 is part of the x86-64 baseline.
namespace rootix::engine::detail {
namespace {

struct V {
  using Reg = __m128i;
  static constexpr int kWidth = 2;
  static Reg set1(std::uint64_t v) { return _mm_set1_epi64x(static_cast<long long>(v)); }
  static Reg load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
  static void store(void* p, Reg v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
  static Reg xorBits(Reg a, Reg b) { return _mm_xor_si128(a, b); }
  static Reg add(Reg a, Reg b) { return _mm_add_epi64(a, b); }
  static Reg mulLowHigh(Reg k) { return _mm_mul_epu32(k, _mm_srli_epi64(k, 32)); }
};

}  // namespace
}  // namespace rootix::engine::detail

#include "engine/stress_hash_lanes.h"
#endif

namespace rootix::engine {

namespace detail {
void hashLanesAvx2(std::uint64_t* acc, std::uint64_t* key, const double* values, std::int64_t count,
                   std::uint64_t step);
void hashLanesAvx512(std::uint64_t* acc, std::uint64_t* key, const double* values, std::int64_t count,
                     std::uint64_t step);
}  // namespace detail

namespace {

constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kSeed = 0x52D0C7A1F3E4B6D9ull;

std::uint64_t finalMix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

}  // namespace

StressHash::StressHash(std::int64_t firstNumber) {
  for (int j = 0; j < kLanes; ++j) {
    acc_[j] = kSeed + std::uint64_t(j);
    key_[j] = (std::uint64_t(firstNumber) + std::uint64_t(j)) * kGolden;
  }
}

// Each lane takes every eighth result: the result's bits, mixed with a key that moves on with
// the number, are split into halves whose 32 x 32-bit product is added together with the bits
// themselves. Lanes are independent, so the loop runs on vector registers.
// Every width computes the same lanes; the widest the processor runs is used.
void StressHash::add(const double* values, std::int64_t count) {
  constexpr std::uint64_t step = kGolden * kLanes;
#if defined(__x86_64__)
  static const auto lanes = isaAvailable(Isa::AVX512) ? detail::hashLanesAvx512
                            : isaAvailable(Isa::AVX2) ? detail::hashLanesAvx2
                                                      : detail::hashLanes<detail::V>;
  lanes(acc_, key_, values, count, step);
#else
  for (std::int64_t i = 0; i < count; i += kLanes) {
    for (int j = 0; j < kLanes; ++j) {
      std::uint64_t bits;
      std::memcpy(&bits, values + i + j, sizeof bits);
      const std::uint64_t k = bits ^ key_[j];
      acc_[j] += (k & 0xFFFFFFFFu) * (k >> 32) + bits;
      key_[j] += step;
    }
  }
#endif
}

std::uint64_t StressHash::value() const {
  std::uint64_t h = kSeed;
  for (int j = 0; j < kLanes; ++j) h += finalMix(acc_[j] ^ (std::uint64_t(j) * kGolden));
  return finalMix(h);
}

std::uint64_t stressHash(std::int64_t firstNumber, const double* values, std::int64_t count) {
  StressHash hash(firstNumber);
  hash.add(values, count);
  return hash.value();
}

}  // namespace rootix::engine
