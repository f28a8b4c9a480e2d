#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "score_test_support.h"
#include "scores/records.h"
#include "scores/score_list.h"

namespace rootix::scores {
namespace {

using testdata::errorOf;

TEST(ScoreList, SlotZeroAndPastTheEndAreOutOfRange) {
  ScoreList scores;
  EXPECT_EQ(scores.count(), 0);
  for (int64_t index : {int64_t{0}, int64_t{1}, int64_t{-1}}) {
    EXPECT_EQ(errorOf([&] { scores.at(index); }), kSubscriptOutOfRange) << index;
  }
  EXPECT_EQ(scores.append(Score::Create(1.5, 6, {})), 1);
  EXPECT_EQ(scores.append(Score()), 2);
  EXPECT_EQ(scores.at(1).score_score, 1.5);
  EXPECT_FALSE(scores.at(2).score_visible);
  EXPECT_EQ(errorOf([&] { scores.at(0); }), kSubscriptOutOfRange);
  EXPECT_EQ(errorOf([&] { scores.at(3); }), kSubscriptOutOfRange);
}

TEST(ScoreList, EntriesStayPutWhileTheListGrows) {
  ScoreList scores;
  scores.append(Score::Create(1, 6, {}));
  const Score* first = &scores.at(1);
  for (int i = 0; i < 1000; ++i) scores.append(Score());
  EXPECT_EQ(&scores.at(1), first);
}

TEST(GetScores, TurnsRecordsOneToElevenIntoScoresInOrder) {
  Records records;
  records.setRecord(11, 300.5);
  records.setRecord(6, 12.345);
  records.setRecord(12, 7);
  records.setRecord(16, 8);
  ScoreList scores;
  scores.append(Score());  // earlier entries keep their places
  EXPECT_EQ(GetScores(records, scores, testdata::sampleHardware()), 2);

  ASSERT_EQ(scores.count(), 3);
  EXPECT_EQ(scores.at(2), Score::Create(12.345, 6, testdata::sampleHardware()));
  EXPECT_EQ(scores.at(3), Score::Create(300.5, 11, testdata::sampleHardware()));
  EXPECT_EQ(records.getRecord(6), 0);
  EXPECT_EQ(records.getRecord(11), 0);
  EXPECT_EQ(records.getRecord(12), 7);
  EXPECT_EQ(records.getRecord(16), 8);

  // Each record becomes a score once.
  EXPECT_EQ(GetScores(records, scores, {}), 0);
  EXPECT_EQ(scores.count(), 3);
}

TEST(GetScores, ScoresCarryTheConditionsOfTheirRunsWhereKnown) {
  Records records;
  records.setRecord(6, 12.345);
  records.setRecord(11, 300.5);
  ScoreList scores;
  QStringList asked;
  const ConditionsLookup lookup = [&asked](int test, double seconds) {
    asked << QStringLiteral("%1 %2").arg(test).arg(seconds);
    return test == 6 ? QByteArray(R"({"test":6})") : QByteArray();
  };
  EXPECT_EQ(GetScores(records, scores, {}, lookup), 2);
  EXPECT_EQ(asked, (QStringList{"6 12.345", "11 300.5"}));
  EXPECT_EQ(scores.at(1).conditions, QByteArray(R"({"test":6})"));
  EXPECT_TRUE(scores.at(2).conditions.isEmpty()) << "unknown conditions stay unknown";
}

TEST(GetScores, ScoresKeepTheSummaryOfTheirTime) {
  Records records;
  HardwareSummary hardware;
  records.setRecord(1, 2.5);
  ScoreList scores;
  GetScores(records, scores, hardware);
  hardware.score_extra_cpu_string = QStringLiteral("filled later");
  EXPECT_EQ(scores.at(1).hardware, HardwareSummary{});
}

}  // namespace
}  // namespace rootix::scores
