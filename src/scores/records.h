#pragma once

#include <array>
#include <cstdint>

namespace rootix::scores {

// Best elapsed seconds per test number 1..16; 0 means no record.
class Records {
 public:
  static constexpr int kFirst = 1;
  static constexpr int kLast = 16;

  // Index outside 1..16 throws RuntimeError(kSubscriptOutOfRange); the table
  // is unchanged.
  double getRecord(int index) const;
  void setRecord(int index, double record);
  void reset();
  bool any() const;

 private:
  std::array<double, kLast + 1> values_{};
};

}  // namespace rootix::scores
