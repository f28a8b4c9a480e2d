#pragma once

#include <QByteArray>
#include <cstdint>
#include <deque>
#include <functional>

#include "scores/score.h"

namespace rootix::scores {

class Records;

// The program-wide list of scores. Index 0 exists but never holds a score;
// real entries are 1..count(), appended at the end and never removed.
class ScoreList {
 public:
  // Entry index. Slot 0 and anything past the end are kSubscriptOutOfRange
  // (RuntimeError): the console reports them through its error path, so
  // "rootix=score 0" is "Error occured: 9." rather than a made-up value.
  Score& at(int64_t index);
  const Score& at(int64_t index) const;

  // Appends a score and returns its index.
  int append(Score score);

  // The highest index in use; 0 while no score exists.
  int count() const { return static_cast<int>(entries_.size()); }

 private:
  // Entry i is entries_[i - 1]; a deque keeps references valid while it grows.
  std::deque<Score> entries_;
};

// The conditions of the run that set test's record to seconds (ASCII JSON),
// or empty when they are not known.
using ConditionsLookup = std::function<QByteArray(int test, double seconds)>;

// Turns the records of tests 1..11, in that order, into new scores made with
// the hardware summary (and the conditions of their runs, where known), and
// clears those records. Records 12..16 stay. Returns the number of scores
// appended.
int GetScores(Records& records, ScoreList& scores, const HardwareSummary& hardware,
              const ConditionsLookup& conditions = {});

}  // namespace rootix::scores
