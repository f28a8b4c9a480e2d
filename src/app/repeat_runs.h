#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "engine/run_listener.h"

namespace rootix::app {

// Most runs one "repeat" or "-repeat=" asks for.
inline constexpr int kMaxRepeat = 1000;

// A repeat count from 1 to kMaxRepeat written as a plain whole number;
// nullopt for anything else.
std::optional<int> parseRepeatCount(const QString& text);

// What the console says for a count it cannot take.
QString invalidRepeatMessage(const QString& given);

// The test's size as the menu names it: "32M" for test 6.
QString testLabel(int test);

// "32M: 5 runs, best 0.102 s, median 0.104 s, worst 0.109 s, spread 6.9 %";
// spread is (worst - best) / best. seconds must not be empty.
QString spreadLine(int test, std::vector<double> seconds);

// A series of runs of one test, one after the other.
class RepeatRuns {
 public:
  enum class Next {
    NotRepeating,  // the run was not one of a series
    Again,         // start the next run of the series
    Done,          // the series is over: print summary()
  };

  void start(int16_t test, int count);
  bool active() const { return remaining_ > 0; }
  int16_t test() const { return test_; }

  // After each run the console shows.
  Next runEnded(const engine::RunResult& result);
  // The spread line, after a note when a run with errors ended the series early.
  QStringList summary() const;
  // The best time of the series (0 before any run without errors).
  double best() const;

 private:
  int16_t test_ = 0;
  int count_ = 0;
  int remaining_ = 0;
  int failedRun_ = 0;  // the run that reported errors, 0 none
  std::vector<double> seconds_;
};

}  // namespace rootix::app
