#include "scores/score_list.h"

#include "platform/runtime_error.h"
#include "scores/records.h"

namespace rootix::scores {

Score& ScoreList::at(int64_t index) {
  if (index < 1 || index > count()) throw RuntimeError(kSubscriptOutOfRange);
  return entries_[static_cast<size_t>(index - 1)];
}

const Score& ScoreList::at(int64_t index) const { return const_cast<ScoreList*>(this)->at(index); }

int ScoreList::append(Score score) {
  entries_.push_back(std::move(score));
  return count();
}

int GetScores(Records& records, ScoreList& scores, const HardwareSummary& hardware,
              const ConditionsLookup& conditions) {
  // Test 11 is the largest standard test; records beyond it stay records.
  constexpr int kLastScoredTest = 11;
  int added = 0;
  for (int test = Records::kFirst; test <= kLastScoredTest; ++test) {
    const double record = records.getRecord(test);
    if (record == 0) continue;
    Score score = Score::Create(record, static_cast<int16_t>(test), hardware);
    if (conditions) score.conditions = conditions(test, record);
    scores.append(std::move(score));
    records.setRecord(test, 0);
    ++added;
  }
  return added;
}

}  // namespace rootix::scores
