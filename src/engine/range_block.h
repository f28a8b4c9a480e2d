// The one body of the vector range kernel, for every width and quotient method.
//
// Included only by the per-instruction-set files (range_kernel_sse2/avx2/avx512.cpp), after
// their target pragma and after every other include, so everything here is compiled for that
// file's instructions and nothing here may have external linkage: an inline function shared
// between files could otherwise be taken from the widest build by the linker.
//
// No include guard on purpose: each file includes it once, and it has no includes of its own
// (it needs <cstdint> and engine/range_kernel.h, which the file includes first). Before
// including it a file defines, in namespace rootix::engine::detail, a struct V with
//   using Reg; using Mask; static constexpr int kWidth;
//   set1(v), lanes() (0, 1, ... kWidth-1), add, sub, mul, div,
//   notNonNegative(q) (lanes where q < 0 or NaN), below(x, v) (lanes where x < v or NaN),
//   orMask, maskBits(m) (bit k = lane k), store;
// and, where the file builds multiply-add kernels, fma(a, b, c) = a*b + c and
// fnma(a, b, c) = c - a*b (one rounding each), reciprocal(d) (an estimate of 1/d) and
// refine(d, y) (y made accurate to about one unit in the last place).

namespace rootix::engine::detail {
namespace {

// The correctly rounded f / d without the divider: y ~ 1/d, the product f*y is within an
// ulp or so of the quotient, and one fused correction with the exact remainder f - q*d
// rounds it to where the division would have landed. Shown bit-identical to the division
// for every number the benchmark meets (whole numbers 0 .. 2^31 - 1); other inputs go
// through the divider.
template <class V>
[[gnu::always_inline]] inline typename V::Reg fmaQuotient(typename V::Reg f, typename V::Reg d) {
  const typename V::Reg y = V::refine(d, V::reciprocal(d));
  const typename V::Reg q = V::mul(f, y);
  const typename V::Reg r = V::fnma(q, d, f);
  return V::fma(r, y, q);
}

// q = (g*g - x) / (g + g) for chain c; g + g equals 2*g exactly. Only the quotient differs
// by method, and c is a constant once the chain loops are unrolled.
template <class V, int Chains, int DivideChains>
[[gnu::always_inline]] inline typename V::Reg correction(int c, typename V::Reg g, typename V::Reg x) {
  const typename V::Reg f = V::sub(V::mul(g, g), x);
  const typename V::Reg d = V::add(g, g);
  if constexpr (DivideChains >= Chains)
    return V::div(f, d);
  else
    return c < DivideChains ? V::div(f, d) : fmaQuotient<V>(f, d);
}

// Chains independent vectors side by side (so the units stay busy while each waits for its
// previous quotient); the first DivideChains of them use the divider, the others the fused
// multiply-adds. Mixing lets the divider and the multiply-add units work at the same time.
// Sets the redo bits of the lanes from `offset` on; a chain's lanes never straddle two words.
template <class V, int Chains, int DivideChains>
[[gnu::always_inline]] inline void chains(double first, double index, double* out, std::uint64_t* redo, int offset) {
  using Reg = typename V::Reg;
  using Mask = typename V::Mask;
  const Reg lanes = V::lanes();
  const Reg zero = V::set1(0.0);
  const Reg four = V::set1(4.0);
  const Reg half = V::set1(0.5);
  Reg x[Chains];
  Reg g[Chains];
  Mask bad[Chains];

  // 0..3 take 13 steps (or none); they and anything unusual leave the common path.
#pragma GCC unroll 16
  for (int c = 0; c < Chains; ++c) {
    x[c] = V::add(V::set1(first), V::add(lanes, V::set1(index + c * V::kWidth)));
    g[c] = V::mul(x[c], half);
    bad[c] = V::below(x[c], four);
  }
  // The two sign-tested steps: both corrections must be >= 0 (not NaN) for the lane to be
  // on the common path.
  for (int tested = 0; tested < 2; ++tested) {
#pragma GCC unroll 16
    for (int c = 0; c < Chains; ++c) {
      const Reg q = correction<V, Chains, DivideChains>(c, g[c], x[c]);
      bad[c] = V::orMask(bad[c], V::notNonNegative(q, zero));
      g[c] = V::sub(g[c], q);
    }
  }
  for (int plain = 0; plain < 10; ++plain) {
#pragma GCC unroll 16
    for (int c = 0; c < Chains; ++c) g[c] = V::sub(g[c], correction<V, Chains, DivideChains>(c, g[c], x[c]));
  }

#pragma GCC unroll 16
  for (int c = 0; c < Chains; ++c) {
    V::store(out + c * V::kWidth, g[c]);
    const int lane = offset + c * V::kWidth;
    redo[lane / 64] |= V::maskBits(bad[c]) << (lane % 64);
  }
}

// One block of kBlockLanes numbers in passes of Chains vectors, with the lanes to redo.
template <class V, int Chains, int DivideChains>
inline void block(double first, double index, double* out, std::uint64_t* redo) {
  constexpr int perPass = V::kWidth * Chains;
  static_assert(kBlockLanes % perPass == 0, "a block is a whole number of passes");
  static_assert(64 % V::kWidth == 0, "a chain's redo bits lie in one word");
  for (int word = 0; word < kRedoWords; ++word) redo[word] = 0;
  for (int offset = 0; offset < kBlockLanes; offset += perPass)
    chains<V, Chains, DivideChains>(first, index + offset, out + offset, redo, offset);
}

// Chains per pass: eight keep the divider busy; the multiply-add quotient's longer chain of
// dependent operations needs twelve in flight. The mixed kernels divide on a third or on three
// quarters of them: which share keeps both units busiest depends on the processor's divider.
constexpr int kDivideChains = 8;
constexpr int kFmaChains = 12;

template <class V>
inline void divideBlock(double first, double index, double* out, std::uint64_t* redo) {
  block<V, kDivideChains, kDivideChains>(first, index, out, redo);
}

template <class V>
inline void fmaBlock(double first, double index, double* out, std::uint64_t* redo) {
  block<V, kFmaChains, 0>(first, index, out, redo);
}

template <class V>
inline void fmaDivideBlock(double first, double index, double* out, std::uint64_t* redo) {
  block<V, kFmaChains, kFmaChains / 3>(first, index, out, redo);
}

template <class V>
inline void divideFmaBlock(double first, double index, double* out, std::uint64_t* redo) {
  block<V, kFmaChains, kFmaChains * 3 / 4>(first, index, out, redo);
}

}  // namespace
}  // namespace rootix::engine::detail
