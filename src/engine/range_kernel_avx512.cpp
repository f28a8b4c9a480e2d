#include "engine/range_kernel.h"

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>

// Only this file's own functions are built for AVX-512 (the pragma comes after every include),
// so no inline function shared with other files is ever compiled with these instructions.
// Multiplies and subtracts stay separate (-ffp-contract=off); the only fused operations are
// the explicit ones of the multiply-add quotient.
#pragma GCC push_options
#pragma GCC target("avx512f")

namespace rootix::engine::detail {
namespace {

struct V {
  using Reg = __m512d;
  using Mask = __mmask8;
  static constexpr int kWidth = 8;

  static Reg set1(double v) { return _mm512_set1_pd(v); }
  static Reg lanes() { return _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7); }
  static Reg add(Reg a, Reg b) { return _mm512_add_pd(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm512_sub_pd(a, b); }
  static Reg mul(Reg a, Reg b) { return _mm512_mul_pd(a, b); }
  static Reg div(Reg a, Reg b) { return _mm512_div_pd(a, b); }
  static Reg fma(Reg a, Reg b, Reg c) { return _mm512_fmadd_pd(a, b, c); }
  static Reg fnma(Reg a, Reg b, Reg c) { return _mm512_fnmadd_pd(a, b, c); }
  // Relative error below 2^-14.
  // (The masked form: the plain one trips a false uninitialised warning in GCC 12.)
  static Reg reciprocal(Reg d) { return _mm512_maskz_rcp14_pd(0xFF, d); }
  // Two Newton steps on 1/d: 2^-28, then about one unit in the last place.
  static Reg refine(Reg d, Reg y) {
    const Reg one = set1(1.0);
    y = fma(y, fnma(d, y, one), y);
    return fma(y, fnma(d, y, one), y);
  }
  static Mask notNonNegative(Reg q, Reg zero) { return _mm512_cmp_pd_mask(q, zero, _CMP_NGE_UQ); }
  static Mask below(Reg x, Reg v) { return _mm512_cmp_pd_mask(x, v, _CMP_NGE_UQ); }
  static Mask orMask(Mask a, Mask b) { return Mask(a | b); }
  static std::uint64_t maskBits(Mask m) { return m; }
  static void store(double* out, Reg v) { _mm512_storeu_pd(out, v); }
};

}  // namespace
}  // namespace rootix::engine::detail

#include "engine/range_block.h"

namespace rootix::engine::detail {

void blockAvx512Divide(double first, double index, double* out, std::uint64_t* redo) {
  divideBlock<V>(first, index, out, redo);
}

void blockAvx512Fma(double first, double index, double* out, std::uint64_t* redo) {
  fmaBlock<V>(first, index, out, redo);
}

void blockAvx512FmaDivide(double first, double index, double* out, std::uint64_t* redo) {
  fmaDivideBlock<V>(first, index, out, redo);
}

void blockAvx512DivideFma(double first, double index, double* out, std::uint64_t* redo) {
  divideFmaBlock<V>(first, index, out, redo);
}

}  // namespace rootix::engine::detail

#pragma GCC pop_options

#endif
