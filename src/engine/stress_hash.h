#pragma once

#include <cstdint>

namespace rootix::engine {

// The stability test's fingerprint of a run of results: a 64-bit hash of their IEEE-754 bits,
// fed in pieces as they are computed (while they are still in the cache). The hash depends on
// every bit and on each result's number (the same bits at another number hash differently);
// the pieces do not change it as long as each holds a multiple of kStressHashLanes results.
class StressHash {
 public:
  static constexpr int kLanes = 8;

  // `firstNumber` is the number of the first result to be added.
  explicit StressHash(std::int64_t firstNumber);
  // values[i] is the result of firstNumber + (results added so far) + i; count must be a
  // multiple of kLanes.
  void add(const double* values, std::int64_t count);
  std::uint64_t value() const;

 private:
  alignas(64) std::uint64_t acc_[kLanes];
  alignas(64) std::uint64_t key_[kLanes];
};

// The hash of count results starting at `firstNumber`, in one piece.
std::uint64_t stressHash(std::int64_t firstNumber, const double* values, std::int64_t count);

}  // namespace rootix::engine
