#include "engine/range_kernel.h"

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>

// Only this file's own functions are built for AVX2 and FMA (the pragma comes after every
// include), so no inline function shared with other files is ever compiled with these
// instructions. The only fused operations are the explicit ones of the multiply-add quotient.
#pragma GCC push_options
#pragma GCC target("avx2,fma")

namespace rootix::engine::detail {
namespace {

struct V {
  using Reg = __m256d;
  using Mask = __m256d;
  static constexpr int kWidth = 4;

  static Reg set1(double v) { return _mm256_set1_pd(v); }
  static Reg lanes() { return _mm256_setr_pd(0, 1, 2, 3); }
  static Reg add(Reg a, Reg b) { return _mm256_add_pd(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm256_sub_pd(a, b); }
  static Reg mul(Reg a, Reg b) { return _mm256_mul_pd(a, b); }
  static Reg div(Reg a, Reg b) { return _mm256_div_pd(a, b); }
  static Reg fma(Reg a, Reg b, Reg c) { return _mm256_fmadd_pd(a, b, c); }
  static Reg fnma(Reg a, Reg b, Reg c) { return _mm256_fnmadd_pd(a, b, c); }
  // The single-precision estimate: relative error below 1.5 * 2^-12 (the operands the
  // multiply-add quotient meets lie well inside the single-precision range).
  static Reg reciprocal(Reg d) { return _mm256_cvtps_pd(_mm_rcp_ps(_mm256_cvtpd_ps(d))); }
  // Newton steps on 1/d: 2^-23, 2^-46, then about one unit in the last place.
  static Reg refine(Reg d, Reg y) {
    const Reg one = set1(1.0);
    y = fma(y, fnma(d, y, one), y);
    y = fma(y, fnma(d, y, one), y);
    return fma(y, fnma(d, y, one), y);
  }
  static Mask notNonNegative(Reg q, Reg zero) { return _mm256_cmp_pd(q, zero, _CMP_NGE_UQ); }
  static Mask below(Reg x, Reg v) { return _mm256_cmp_pd(x, v, _CMP_NGE_UQ); }
  static Mask orMask(Mask a, Mask b) { return _mm256_or_pd(a, b); }
  static std::uint64_t maskBits(Mask m) { return std::uint64_t(_mm256_movemask_pd(m)); }
  static void store(double* out, Reg v) { _mm256_storeu_pd(out, v); }
};

}  // namespace
}  // namespace rootix::engine::detail

#include "engine/range_block.h"

namespace rootix::engine::detail {

void blockAvx2Divide(double first, double index, double* out, std::uint64_t* redo) {
  divideBlock<V>(first, index, out, redo);
}

void blockAvx2Fma(double first, double index, double* out, std::uint64_t* redo) {
  fmaBlock<V>(first, index, out, redo);
}

void blockAvx2FmaDivide(double first, double index, double* out, std::uint64_t* redo) {
  fmaDivideBlock<V>(first, index, out, redo);
}

void blockAvx2DivideFma(double first, double index, double* out, std::uint64_t* redo) {
  divideFmaBlock<V>(first, index, out, redo);
}

}  // namespace rootix::engine::detail

#pragma GCC pop_options

#endif
