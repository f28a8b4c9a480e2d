#pragma once

namespace rootix::engine {

// The benchmark's unit of work: a square root by a fixed sequence of Newton steps on
// f(g) = g*g - x. The step count is part of the workload, so this is deliberately not a
// general-purpose square root (large inputs stop well short of convergence).
//
// Every operation is rounded to double on its own; the project builds with
// -ffp-contract=off so that no multiply-subtract is fused.
class Newton {
 public:
  // Returned when the sign-tested part of the chain does not settle within kChainLimit
  // evaluations (inf, -inf and NaN-producing inputs end up here).
  static constexpr double kNonConvergent = -1.0;
  // Evaluations allowed in the sign-tested part of the chain. Whole numbers >= 1 need at
  // most three.
  static constexpr int kChainLimit = 4096;
  // Plain steps after the chain has ended.
  static constexpr int kFinalSteps = 10;

  // 0 for x == 0 and NaN; otherwise the estimate after the fixed step sequence, or
  // kNonConvergent.
  double Sqrt(double x) const;

 private:
  static double Func(double g, double x);
  static double Deriv(double g);
  static double Iterate(double g, double x);
};

}  // namespace rootix::engine
