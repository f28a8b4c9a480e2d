#pragma once

#include <cstdint>
#include <optional>

namespace rootix::engine {

// The stability test checks results in blocks of 2^20 numbers: block b holds the numbers
// b * 2^20 .. (b + 1) * 2^20 - 1. Tests 1 to 12 cover the first 2^(test - 1) blocks, the
// whole table 0 .. 2^31 - 1.
inline constexpr std::int64_t kStressBlockNumbers = std::int64_t{1} << 20;
inline constexpr int kStressBlocks = 2048;
inline constexpr int kStressFirstTest = 1;
inline constexpr int kStressLastTest = 12;

// The committed hash (stress_hash.h) of block b's correct results, as the scalar procedure
// computes them (tools/stress_reference regenerates and checks the table). 0 <= b < kStressBlocks.
std::uint64_t stressReference(int block);

// Blocks a test covers; nullopt for a test outside the table.
std::optional<int> stressBlocksOfTest(int test);

// The hash of block b computed with the scalar procedure, the table's definition.
std::uint64_t scalarBlockHash(int block);

}  // namespace rootix::engine
