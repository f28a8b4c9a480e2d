#include "engine/range_kernel.h"

#if defined(__x86_64__)
#include <immintrin.h>

// SSE2 is part of the x86-64 baseline: no target switch needed.
namespace rootix::engine::detail {
namespace {

constexpr int kWidth = 2;
constexpr int kChains = 8;
constexpr int kPasses = kBlockLanes / (kWidth * kChains);

// q = (g*g - x) / (g + g); g + g equals 2*g exactly.
inline __m128d correction(__m128d g, __m128d x)
{
    const __m128d f = _mm_sub_pd(_mm_mul_pd(g, g), x);
    return _mm_div_pd(f, _mm_add_pd(g, g));
}

// kChains vectors side by side; returns the lanes that left the common path.
inline std::uint64_t chains(double first, double index, double* out)
{
    const __m128d lanes = _mm_setr_pd(0, 1);
    const __m128d zero = _mm_setzero_pd();
    const __m128d half = _mm_set1_pd(0.5);
    __m128d x[kChains];
    __m128d g[kChains];
    __m128d bad[kChains];

#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        const __m128d offsets = _mm_add_pd(lanes, _mm_set1_pd(index + c * kWidth));
        x[c] = _mm_add_pd(_mm_set1_pd(first), offsets);
        g[c] = _mm_mul_pd(x[c], half);
    }
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        const __m128d q = correction(g[c], x[c]);
        bad[c] = _mm_cmpnge_pd(q, zero);
        g[c] = _mm_sub_pd(g[c], q);
    }
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        const __m128d q = correction(g[c], x[c]);
        bad[c] = _mm_or_pd(bad[c], _mm_cmpnge_pd(q, zero));
        g[c] = _mm_sub_pd(g[c], q);
    }
    for (int step = 0; step < 10; ++step) {
#pragma GCC unroll 16
        for (int c = 0; c < kChains; ++c)
            g[c] = _mm_sub_pd(g[c], correction(g[c], x[c]));
    }

    std::uint64_t redo = 0;
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        _mm_storeu_pd(out + c * kWidth, g[c]);
        redo |= std::uint64_t(_mm_movemask_pd(bad[c])) << (c * kWidth);
    }
    return redo;
}

} // namespace

std::uint64_t blockSse2(double first, double index, double* out)
{
    std::uint64_t redo = 0;
    for (int pass = 0; pass < kPasses; ++pass) {
        const int offset = pass * kWidth * kChains;
        redo |= chains(first, index + offset, out + offset) << offset;
    }
    return redo;
}

} // namespace rootix::engine::detail

#endif
