#include "engine/newton.h"

#include <cmath>

namespace rootix::engine {

// The helpers are inline so that they are folded into Sqrt even in position-independent
// builds, where out-of-line calls could not be inlined and would dominate the step cost.
inline double Newton::Func(double g, double x) {
  const double square = g * g;
  return square - x;
}

inline double Newton::Deriv(double g) { return 2.0 * g; }

inline double Newton::Iterate(double g, double x) {
  // The sign-tested part: a negative correction means the estimate is still below the
  // root, and a NaN one keeps the chain going until the limit; the second non-negative
  // correction ends it.
  bool crossed = false;
  for (int evaluations = 0; evaluations < kChainLimit; ++evaluations) {
    const double q = Func(g, x) / Deriv(g);
    g = g - q;
    if (!(q >= 0.0)) continue;
    if (!crossed) {
      crossed = true;
      continue;
    }
    for (int step = 0; step < kFinalSteps; ++step) g = g - Func(g, x) / Deriv(g);
    return g;
  }
  return kNonConvergent;
}

double Newton::Sqrt(double x) const {
  if (x == 0.0 || std::isnan(x)) return 0.0;
  return Iterate(x / 2.0, x);
}

}  // namespace rootix::engine
