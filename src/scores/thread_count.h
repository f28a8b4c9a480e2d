#pragma once

#include <cstdint>

namespace rootix::scores {

class Records;

// The worker count every run uses, kMin..kMax once set (0 before). Records
// hold times for one count, so every change goes through set(), which clears
// them.
class ThreadCount {
 public:
  // The counts the console and the window accept; detection caps at kMax.
  static constexpr int16_t kMin = 1;
  static constexpr int16_t kMax = 4096;
  static constexpr bool inRange(double count) { return count >= kMin && count <= kMax; }

  enum class Clear {
    IfChanged,  // a count found by detection: the records stay when it is the same
    Always,     // a count chosen by the user ("ft"): the records start over
  };

  explicit ThreadCount(Records& records) : records_(records) {}

  int16_t value() const { return value_; }
  void set(int16_t count, Clear clear = Clear::IfChanged);

 private:
  Records& records_;
  int16_t value_ = 0;
};

}  // namespace rootix::scores
