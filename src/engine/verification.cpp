#include "engine/verification.h"

#include "platform/numbers.h"

namespace rootix::engine {

std::array<double, 4> verificationMarks(int32_t lo, int32_t hi) {
  const double span = static_cast<double>(std::int64_t{hi} - lo);
  const double low = lo;
  return {num::roundHalfEven(low + span * 0.2), num::roundHalfEven(low + span * 0.4),
          num::roundHalfEven(low + span * 0.6), num::roundHalfEven(low + span * 0.8)};
}

int verificationMarkAt(const std::array<double, 4>& marks, double i) {
  for (int k = 0; k < 4; ++k) {
    if (marks[k] == i) return 20 * (k + 1);
  }
  return 0;
}

}  // namespace rootix::engine
