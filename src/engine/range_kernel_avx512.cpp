#include "engine/range_kernel.h"

#if defined(__x86_64__)
#include <immintrin.h>

// Only this file's own functions are built for AVX-512 (the pragma comes after every include),
// so no inline function shared with other files is ever compiled with these instructions.
// Multiplies and subtracts stay separate: -ffp-contract=off keeps them from being fused.
#pragma GCC push_options
#pragma GCC target("avx512f")

namespace rootix::engine::detail {
namespace {

constexpr int kWidth = 8;
constexpr int kChains = kBlockLanes / kWidth;

// q = (g*g - x) / (g + g); g + g equals 2*g exactly.
inline __m512d correction(__m512d g, __m512d x)
{
    const __m512d f = _mm512_sub_pd(_mm512_mul_pd(g, g), x);
    return _mm512_div_pd(f, _mm512_add_pd(g, g));
}

} // namespace

std::uint64_t blockAvx512(double first, double index, double* out)
{
    const __m512d lanes = _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7);
    const __m512d zero = _mm512_setzero_pd();
    const __m512d half = _mm512_set1_pd(0.5);
    __m512d x[kChains];
    __m512d g[kChains];
    __mmask8 bad[kChains];

    // Independent chains side by side keep the divider busy while each one waits for its
    // previous quotient.
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        const __m512d offsets = _mm512_add_pd(lanes, _mm512_set1_pd(index + c * kWidth));
        x[c] = _mm512_add_pd(_mm512_set1_pd(first), offsets);
        g[c] = _mm512_mul_pd(x[c], half);
    }
    // The two sign-tested steps: both corrections must be >= 0 (not NaN) for the lane to
    // be on the common path.
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        const __m512d q = correction(g[c], x[c]);
        bad[c] = _mm512_cmp_pd_mask(q, zero, _CMP_NGE_UQ);
        g[c] = _mm512_sub_pd(g[c], q);
    }
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        const __m512d q = correction(g[c], x[c]);
        bad[c] = bad[c] | _mm512_cmp_pd_mask(q, zero, _CMP_NGE_UQ);
        g[c] = _mm512_sub_pd(g[c], q);
    }
    for (int step = 0; step < 10; ++step) {
#pragma GCC unroll 16
        for (int c = 0; c < kChains; ++c)
            g[c] = _mm512_sub_pd(g[c], correction(g[c], x[c]));
    }

    std::uint64_t redo = 0;
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        _mm512_storeu_pd(out + c * kWidth, g[c]);
        redo |= std::uint64_t(bad[c]) << (c * kWidth);
    }
    return redo;
}

} // namespace rootix::engine::detail

#pragma GCC pop_options

#endif
