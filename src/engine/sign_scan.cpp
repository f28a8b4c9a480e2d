#include "engine/sign_scan.h"

#include <cstring>

#include "engine/range_kernel.h"

namespace rootix::engine {
namespace {

using Lanes = std::uint64_t __attribute__((vector_size(64)));
constexpr std::int64_t kLanes = 8;

// ORs every value's bits together; compiled once per vector width below.
[[gnu::always_inline]] inline bool scan(const double* values, std::int64_t count) {
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

using ScanFunction = bool (*)(const double*, std::int64_t);

bool scanDefault(const double* values, std::int64_t count) { return scan(values, count); }

#if defined(__x86_64__)
[[gnu::target("avx2")]] bool scanAvx2(const double* values, std::int64_t count) { return scan(values, count); }
[[gnu::target("avx512f")]] bool scanAvx512(const double* values, std::int64_t count) { return scan(values, count); }
#endif

// Chosen on first use rather than by the loader, so sanitizer builds (whose
// runtime is not up while the loader resolves) work as well.
ScanFunction widest() {
#if defined(__x86_64__)
  if (isaAvailable(Isa::AVX512)) return scanAvx512;
  if (isaAvailable(Isa::AVX2)) return scanAvx2;
#endif
  return scanDefault;
}

}  // namespace

// The scan runs once per computed number, so at the narrow width it would
// cost a noticeable share of the run.
bool anySignBit(const double* values, std::int64_t count) {
  static const ScanFunction function = widest();
  return function(values, count);
}

}  // namespace rootix::engine
