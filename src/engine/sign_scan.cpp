#include "engine/sign_scan.h"

#include <cstring>

namespace rootix::engine {
namespace {
using Lanes = std::uint64_t __attribute__((vector_size(64)));
constexpr std::int64_t kLanes = 8;
}  // namespace

// One variant per vector width, picked when the program loads: the scan runs
// once per computed number, so at the narrow width it would cost a noticeable
// share of the run.
#if defined(__x86_64__)
__attribute__((target_clones("avx512f", "avx2", "default")))
#endif
bool anySignBit(const double* values, std::int64_t count) {
  Lanes acc = {};
  std::int64_t i = 0;
  for (; i + 4 * kLanes <= count; i += 4 * kLanes) {
    Lanes a, b, c, d;
    std::memcpy(&a, values + i, sizeof a);
    std::memcpy(&b, values + i + kLanes, sizeof b);
    std::memcpy(&c, values + i + 2 * kLanes, sizeof c);
    std::memcpy(&d, values + i + 3 * kLanes, sizeof d);
    acc |= (a | b) | (c | d);
  }
  std::uint64_t bits = 0;
  for (int k = 0; k < kLanes; ++k) bits |= acc[k];
  for (; i < count; ++i) {
    std::uint64_t v;
    std::memcpy(&v, values + i, sizeof v);
    bits |= v;
  }
  return (bits >> 63) != 0;
}

}  // namespace rootix::engine
