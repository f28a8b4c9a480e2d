#include "engine/range_kernel.h"

#if defined(__x86_64__)
#include <immintrin.h>

// Only this file's own functions are built for AVX2 (the pragma comes after every include),
// so no inline function shared with other files is ever compiled with these instructions.
#pragma GCC push_options
#pragma GCC target("avx2")

namespace rootix::engine::detail {
namespace {

constexpr int kWidth = 4;
constexpr int kChains = 8;
constexpr int kPasses = kBlockLanes / (kWidth * kChains);

// q = (g*g - x) / (g + g); g + g equals 2*g exactly.
inline __m256d correction(__m256d g, __m256d x)
{
    const __m256d f = _mm256_sub_pd(_mm256_mul_pd(g, g), x);
    return _mm256_div_pd(f, _mm256_add_pd(g, g));
}

// kChains vectors side by side; returns the lanes that left the common path.
inline std::uint64_t chains(double first, double index, double* out)
{
    const __m256d lanes = _mm256_setr_pd(0, 1, 2, 3);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d half = _mm256_set1_pd(0.5);
    __m256d x[kChains];
    __m256d g[kChains];
    __m256d bad[kChains];

#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        const __m256d offsets = _mm256_add_pd(lanes, _mm256_set1_pd(index + c * kWidth));
        x[c] = _mm256_add_pd(_mm256_set1_pd(first), offsets);
        g[c] = _mm256_mul_pd(x[c], half);
    }
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        const __m256d q = correction(g[c], x[c]);
        bad[c] = _mm256_cmp_pd(q, zero, _CMP_NGE_UQ);
        g[c] = _mm256_sub_pd(g[c], q);
    }
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        const __m256d q = correction(g[c], x[c]);
        bad[c] = _mm256_or_pd(bad[c], _mm256_cmp_pd(q, zero, _CMP_NGE_UQ));
        g[c] = _mm256_sub_pd(g[c], q);
    }
    for (int step = 0; step < 10; ++step) {
#pragma GCC unroll 16
        for (int c = 0; c < kChains; ++c)
            g[c] = _mm256_sub_pd(g[c], correction(g[c], x[c]));
    }

    std::uint64_t redo = 0;
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        _mm256_storeu_pd(out + c * kWidth, g[c]);
        redo |= std::uint64_t(_mm256_movemask_pd(bad[c])) << (c * kWidth);
    }
    return redo;
}

} // namespace

std::uint64_t blockAvx2(double first, double index, double* out)
{
    std::uint64_t redo = 0;
    for (int pass = 0; pass < kPasses; ++pass) {
        const int offset = pass * kWidth * kChains;
        redo |= chains(first, index + offset, out + offset) << offset;
    }
    return redo;
}

} // namespace rootix::engine::detail

#pragma GCC pop_options

#endif
