#include "engine/range_kernel.h"

#include "engine/newton.h"

#include <algorithm>
#include <bit>

namespace rootix::engine {

namespace {

void computeScalar(double first, std::int64_t count, double* out)
{
    const Newton newton;
    for (std::int64_t i = 0; i < count; ++i)
        out[i] = newton.Sqrt(first + double(i));
}

// Lanes that left the common path get the full procedure, which handles every case.
void redoLanes(std::uint64_t lanes, double first, std::int64_t index, double* out)
{
    const Newton newton;
    while (lanes != 0) {
        const int lane = std::countr_zero(lanes);
        lanes &= lanes - 1;
        out[lane] = newton.Sqrt(first + double(index + lane));
    }
}

void computeBlocks(detail::BlockFunction block, double first, std::int64_t count, double* out)
{
    constexpr std::int64_t lanes = detail::kBlockLanes;
    std::int64_t i = 0;
    for (; i + lanes <= count; i += lanes)
        redoLanes(block(first, double(i), out + i), first, i, out + i);
    if (i == count)
        return;

    // The tail is computed as a whole block into scratch space; lanes past the end are
    // neither kept nor redone.
    alignas(64) double tail[lanes];
    const auto rest = int(count - i);
    const std::uint64_t redo = block(first, double(i), tail) & ((std::uint64_t(1) << rest) - 1);
    std::copy_n(tail, rest, out + i);
    redoLanes(redo, first, i, out + i);
}

detail::BlockFunction blockFor(Isa isa)
{
    switch (isa) {
#if defined(__x86_64__)
    case Isa::SSE2:
        return detail::blockSse2;
    case Isa::AVX2:
        return detail::blockAvx2;
    case Isa::AVX512:
        return detail::blockAvx512;
#endif
    default:
        return nullptr;
    }
}

} // namespace

std::string_view isaName(Isa isa)
{
    switch (isa) {
    case Isa::Scalar:
        return "Scalar";
    case Isa::SSE2:
        return "SSE2";
    case Isa::AVX2:
        return "AVX2";
    case Isa::AVX512:
        return "AVX512";
    }
    return "?";
}

bool isaAvailable(Isa isa)
{
    switch (isa) {
    case Isa::Scalar:
        return true;
#if defined(__x86_64__)
    case Isa::SSE2:
        return true;
    case Isa::AVX2:
    case Isa::AVX512: {
        // May run from another file's static initialiser, before the compiler's own
        // processor probe; the checks include the operating system's register support.
        static const bool avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
        static const bool avx512 = (__builtin_cpu_init(), __builtin_cpu_supports("avx512f"));
        return isa == Isa::AVX2 ? avx2 : avx512;
    }
#endif
    default:
        return false;
    }
}

std::vector<Isa> availableIsas()
{
    std::vector<Isa> isas;
    for (Isa isa : {Isa::Scalar, Isa::SSE2, Isa::AVX2, Isa::AVX512}) {
        if (isaAvailable(isa))
            isas.push_back(isa);
    }
    return isas;
}

Isa bestIsa()
{
    static const Isa best = availableIsas().back();
    return best;
}

void computeRange(double first, std::int64_t count, double* out)
{
    computeRange(bestIsa(), first, count, out);
}

void computeRange(Isa isa, double first, std::int64_t count, double* out)
{
    if (count <= 0)
        return;
    const detail::BlockFunction block = isaAvailable(isa) ? blockFor(isa) : nullptr;
    if (block == nullptr)
        computeScalar(first, count, out);
    else
        computeBlocks(block, first, count, out);
}

} // namespace rootix::engine
