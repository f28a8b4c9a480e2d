#pragma once

#include "scores/records.h"
#include "scores/score_list.h"

namespace rootix::scores {

struct HardwareSummary;

// The scores subsystem's state: the best time per test since start-up and
// the program-wide list of scores made from them or loaded.
class ScoreBook {
 public:
  Records& records() { return records_; }
  const Records& records() const { return records_; }
  ScoreList& list() { return list_; }
  const ScoreList& list() const { return list_; }

  // Turns the records of tests 1..11 into scores copying the hardware
  // summary, and clears them; returns how many scores were appended.
  int takeRecordsIntoScores(const HardwareSummary& hardware) {
    return GetScores(records_, list_, hardware, conditions_);
  }

  // Where the conditions of the runs behind the records come from.
  void setConditionsLookup(ConditionsLookup lookup) { conditions_ = std::move(lookup); }

 private:
  ConditionsLookup conditions_;
  Records records_;
  ScoreList list_;
};

}  // namespace rootix::scores
