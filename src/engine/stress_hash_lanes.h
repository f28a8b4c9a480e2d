#pragma once

// The hash's inner loop, included by one file per instruction set after its V (register type
// and operations on 64-bit lanes) is defined in an anonymous namespace, so each copy stays
// private to its file.

#include <cstdint>

namespace rootix::engine::detail {
namespace {

// Lane j of acc/key takes the results j, j + 8, j + 16, ...: k = bits ^ key, then
// acc += lo32(k) * hi32(k) + bits and the key moves on by `step`.
template <class V>
void hashLanes(std::uint64_t* acc, std::uint64_t* key, const double* values, std::int64_t count, std::uint64_t step) {
  constexpr int kRegs = 8 / V::kWidth;
  typename V::Reg a[kRegs];
  typename V::Reg k[kRegs];
  const typename V::Reg s = V::set1(step);
  for (int r = 0; r < kRegs; ++r) {
    a[r] = V::load(acc + r * V::kWidth);
    k[r] = V::load(key + r * V::kWidth);
  }
  for (std::int64_t i = 0; i < count; i += 8) {
    for (int r = 0; r < kRegs; ++r) {
      const typename V::Reg bits = V::load(values + i + r * V::kWidth);
      const typename V::Reg mixed = V::xorBits(bits, k[r]);
      a[r] = V::add(a[r], V::add(V::mulLowHigh(mixed), bits));
      k[r] = V::add(k[r], s);
    }
  }
  for (int r = 0; r < kRegs; ++r) {
    V::store(acc + r * V::kWidth, a[r]);
    V::store(key + r * V::kWidth, k[r]);
  }
}

}  // namespace
}  // namespace rootix::engine::detail
