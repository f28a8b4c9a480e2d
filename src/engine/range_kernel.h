#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace rootix::engine {

// Instruction sets the range kernel has a variant for, narrowest first.
enum class Isa { Scalar, SSE2, AVX2, AVX512 };

std::string_view isaName(Isa isa);
// Every variant the running processor can execute, narrowest first (Scalar always).
std::vector<Isa> availableIsas();
bool isaAvailable(Isa isa);
// The widest available variant; computeRange(first, ...) uses it.
Isa bestIsa();

// out[i] = Newton().Sqrt(first + i) for i in [0, count), bit for bit, including 0 and the
// non-convergence sentinel (which is stored like any other result). Numbers that leave the
// common 12-step path (0..3, negatives, NaN, infinities, anything unusual) are recomputed one
// by one with Newton. Writes nothing for count <= 0; count must stay below 2^53.
void computeRange(double first, std::int64_t count, double* out);
// Same with an explicit variant; an ISA the processor lacks falls back to Scalar.
void computeRange(Isa isa, double first, std::int64_t count, double* out);

namespace detail {

// One vector block: computes kBlockLanes numbers x = first + (index + lane) along the
// common path (x/2, two sign-tested steps, ten plain steps) into out[0..kBlockLanes) and
// returns the lanes whose sign tests failed (bit k = lane k), which the caller must redo.
constexpr int kBlockLanes = 64;
using BlockFunction = std::uint64_t (*)(double first, double index, double* out);

std::uint64_t blockSse2(double first, double index, double* out);
std::uint64_t blockAvx2(double first, double index, double* out);
std::uint64_t blockAvx512(double first, double index, double* out);

} // namespace detail

} // namespace rootix::engine
