#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "scores/score.h"

// What the server believes of a score, apart from any database: which
// scores cannot be runs of Rootix at all, when two texts are the same run,
// and which scores are doubtful enough to wait for a moderator.
namespace rootix::server::rules {

inline constexpr int kFirstTest = 1;
inline constexpr int kLastTest = 16;

// Every number needs 12 Newton steps, each with a division. One picosecond
// per number is 1e12 numbers a second: 4,096 threads (the most Rootix runs)
// at 5 GHz would each have to finish a number in 20 cycles, where the
// divisions alone take far longer. Below that, a time is made up.
inline constexpr double kFloorSecondsPerNumber = 1e-12;

// How many numbers test k computes: 0 .. 1024 * 2^(k+9) - 1.
double numbersOfTest(int test);
// The shortest time a run of the test can take.
double timeFloor(int test);

// The rule an impossible score breaks, as a sentence for the refusal page;
// nullopt for a score that could be a run of Rootix.
std::optional<QString> impossibility(const scores::Score& score);

// Characters, not UTF-16 units: an emoji is one character of a title.
qsizetype characterCount(const QString& text);
// Each hardware text at most this many bytes of the score file.
inline constexpr qsizetype kMaxHardwareBytes = 255;
// Which hardware text is longer than kMaxHardwareBytes, as a sentence.
std::optional<QString> oversizedHardware(const scores::Score& score);

// A run's identity: its text form with the time as the value the checksum
// covers (rounded to 3 decimals), each hardware text without surrounding
// blanks, and nothing of the end line or lines after it. Byte variants of
// one run give the same identity. 64 hexadecimal digits.
QString identityOf(const scores::Score& score);

// The name scores are grouped by: any case, runs of blanks as one space.
QString processorKey(const QString& processorName);

// Why a score is doubtful, as bits; 0 means it is confirmed on arrival.
enum Doubt : unsigned {
  kNoClock = 1,           // empty or "0 MHz": the checksum then covers nothing
  kFewScores = 2,         // its processor has too few confirmed scores to judge it
  kFarFromProcessor = 4,  // its time is far from its processor's confirmed times
};
inline constexpr int kEnoughScores = 5;
// A time is far when it lies more than this many spreads from the median
// of its processor's confirmed times; the spread is the scaled median
// absolute deviation, and at least kMinSpread of the median (several runs
// of one processor with different thread counts differ that much).
inline constexpr double kFarSpreads = 5;
inline constexpr double kMinSpread = 0.1;
// How many of a processor's latest confirmed times a new one is judged by.
inline constexpr int kJudgedBy = 101;

// confirmedSeconds: the processor's latest confirmed times of the same test.
unsigned doubtsOf(const scores::Score& score, QList<double> confirmedSeconds);
// One short sentence per doubt, in bit order.
QStringList doubtTexts(unsigned doubts);
// Short names for JSON: "no_clock", "few_scores", "far_from_processor".
QStringList doubtKeys(unsigned doubts);

}  // namespace rootix::server::rules
