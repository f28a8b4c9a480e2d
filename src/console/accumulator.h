#pragma once

#include <cstdint>
#include <vector>

namespace rootix::console {

class Interpreter;

// The accumulator language's registers.
class Accumulator {
 public:
  static constexpr int kCells = 65536;

  double value = 0;
  int32_t skipCount = 0;

  // Cell i; outside 0..65535 throws RuntimeError(kSubscriptOutOfRange).
  double& cell(int64_t i);

 private:
  std::vector<double> cells_ = std::vector<double>(kCells, 0.0);
};

// Registers "skip" and the "rootix" family that needs nothing from later
// subsystems ("rootix=score", "rootix=test" and "rootix=hardwarethreads" are
// added by the scores and hardware code, through Accumulator::value).
void registerAccumulatorCommands(Interpreter& interpreter, Accumulator& accumulator);

}  // namespace rootix::console
