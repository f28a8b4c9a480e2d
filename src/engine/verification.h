#pragma once

#include <array>
#include <cstdint>

#include "platform/numbers.h"

namespace rootix::engine {

// The numbers lo..hi at which verification reports 20, 40, 60 and 80 %:
// lo + (hi - lo) * f rounded to the nearest whole number, halves to even.
std::array<double, 4> verificationMarks(int32_t lo, int32_t hi);

// The percentage of the first mark equal to i, or 0 when i is on no mark.
int verificationMarkAt(const std::array<double, 4>& marks, double i);

// True when the stored root, squared and rounded (halves to even), gives the
// whole number back. Runs once per number of a run, hence inline.
inline bool resultMatches(double root, double number) {
  const double square = root * root;
  // Well inside half a unit the rounding cannot miss; only the rest needs it.
  const double diff = square - number;
  if (diff > -0.25 && diff < 0.25) return true;
  return num::roundHalfEven(square) == number;
}

}  // namespace rootix::engine
