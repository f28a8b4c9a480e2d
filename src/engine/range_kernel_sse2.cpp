#include "engine/range_kernel.h"

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>

// SSE2 is part of the x86-64 baseline: no target switch needed. It has no fused multiply-add,
// so this width only divides.
namespace rootix::engine::detail {
namespace {

struct V {
  using Reg = __m128d;
  using Mask = __m128d;
  static constexpr int kWidth = 2;

  static Reg set1(double v) { return _mm_set1_pd(v); }
  static Reg lanes() { return _mm_setr_pd(0, 1); }
  static Reg add(Reg a, Reg b) { return _mm_add_pd(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm_sub_pd(a, b); }
  static Reg mul(Reg a, Reg b) { return _mm_mul_pd(a, b); }
  static Reg div(Reg a, Reg b) { return _mm_div_pd(a, b); }
  static Mask notNonNegative(Reg q, Reg zero) { return _mm_cmpnge_pd(q, zero); }
  static Mask below(Reg x, Reg v) { return _mm_cmpnge_pd(x, v); }
  static Mask orMask(Mask a, Mask b) { return _mm_or_pd(a, b); }
  static std::uint64_t maskBits(Mask m) { return std::uint64_t(_mm_movemask_pd(m)); }
  static void store(double* out, Reg v) { _mm_storeu_pd(out, v); }
};

}  // namespace
}  // namespace rootix::engine::detail

#include "engine/range_block.h"

namespace rootix::engine::detail {

void blockSse2Divide(double first, double index, double* out, std::uint64_t* redo) {
  divideBlock<V>(first, index, out, redo);
}

}  // namespace rootix::engine::detail

#endif
