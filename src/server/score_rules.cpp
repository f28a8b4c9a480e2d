#include "server/score_rules.h"

#include <QCryptographicHash>
#include <algorithm>
#include <cmath>

#include "platform/numbers.h"
#include "platform/runtime_error.h"
#include "platform/text.h"

namespace rootix::server::rules {
namespace {

using H = scores::HardwareSummary;

QString testName(int test) { return QStringLiteral("%1M").arg(qint64(1) << (test - 1)); }

// The processor clock as the checksum reads it: its leading number, whole.
qint64 clockNumber(const QString& clock) {
  try {
    return num::toInt32(num::readNumber(clock));
  } catch (const RuntimeError&) {
    return -1;  // beyond 32 bits: not zero, so not "no clock"
  }
}

double median(QList<double> sorted) {
  const qsizetype n = sorted.size();
  return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

}  // namespace

double numbersOfTest(int test) { return 1024.0 * std::ldexp(1.0, test + 9); }

double timeFloor(int test) { return numbersOfTest(test) * kFloorSecondsPerNumber; }

std::optional<QString> impossibility(const scores::Score& score) {
  const int test = score.score_test;
  if (test < kFirstTest || test > kLastTest) {
    return QStringLiteral("The score's test %1 is not a test of Rootix (tests %2 to %3).")
        .arg(test)
        .arg(kFirstTest)
        .arg(kLastTest);
  }
  const double seconds = score.score_score;
  if (!std::isfinite(seconds) || seconds <= 0) {
    return QStringLiteral("The score's time is not a positive number of seconds.");
  }
  if (seconds < timeFloor(test)) {
    return QStringLiteral(
               "The score's time, %1 s, is below the floor for test %2 (%3): %4 s, one picosecond for each of its "
               "%5 numbers. Every number takes 12 Newton steps, each with a division; even 4,096 threads at 5 GHz "
               "would have to finish a number in 20 cycles, which no processor does.")
        .arg(num::formatGeneral(seconds))
        .arg(test)
        .arg(testName(test), num::formatGeneral(timeFloor(test)), QString::number(qint64(numbersOfTest(test))));
  }
  if (score.hardware.score_extra_cpu_string.trimmed().isEmpty()) {
    return QStringLiteral(
        "The score names no processor. Rootix records the processor of every run, and the checksum of a score "
        "without one covers nothing.");
  }
  return std::nullopt;
}

qsizetype characterCount(const QString& text) {
  qsizetype n = 0;
  for (const QChar c : text) n += c.isLowSurrogate() ? 0 : 1;
  return n;
}

std::optional<QString> oversizedHardware(const scores::Score& score) {
  for (const auto field : scores::kHardwareFields) {
    const qsizetype bytes = text::toSingleByte(score.hardware.*field).size();
    if (bytes > kMaxHardwareBytes) {
      return QStringLiteral("A hardware text of the score is %1 bytes long; each may be at most %2.")
          .arg(bytes)
          .arg(kMaxHardwareBytes);
    }
  }
  return std::nullopt;
}

QString identityOf(const scores::Score& score) {
  QStringList lines{QStringLiteral("Rootix"), score.score_version,
                    num::formatGeneral(num::roundDecimals(score.score_score, 3)), QString::number(score.score_test)};
  for (const auto field : scores::kHardwareFields) lines << (score.hardware.*field).trimmed();
  // The checksum line follows from the lines above, so it adds nothing.
  return QString::fromLatin1(QCryptographicHash::hash(lines.join(u'\n').toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString processorKey(const QString& processorName) { return processorName.simplified().toLower(); }

unsigned doubtsOf(const scores::Score& score, QList<double> confirmedSeconds) {
  unsigned doubts = 0;
  if (clockNumber(score.hardware.score_extra_cpu_clock) == 0) doubts |= kNoClock;
  if (confirmedSeconds.size() < kEnoughScores) return doubts | kFewScores;
  std::sort(confirmedSeconds.begin(), confirmedSeconds.end());
  const double middle = median(confirmedSeconds);
  QList<double> deviations;
  deviations.reserve(confirmedSeconds.size());
  for (const double s : confirmedSeconds) deviations << std::abs(s - middle);
  std::sort(deviations.begin(), deviations.end());
  // 1.4826: the median absolute deviation of a normal distribution is
  // this much smaller than its standard deviation.
  const double spread = std::max(1.4826 * median(deviations), kMinSpread * middle);
  if (std::abs(score.score_score - middle) > kFarSpreads * spread) doubts |= kFarFromProcessor;
  return doubts;
}

QStringList doubtTexts(unsigned doubts) {
  QStringList texts;
  if (doubts & kNoClock) texts << QStringLiteral("its processor clock is missing or 0, so its checksum covers nothing");
  if (doubts & kFewScores) {
    texts << QStringLiteral("its processor has fewer than %1 confirmed scores of this test to judge it by")
                 .arg(kEnoughScores);
  }
  if (doubts & kFarFromProcessor) {
    texts << QStringLiteral("its time is far from the confirmed times of its processor");
  }
  return texts;
}

QStringList doubtKeys(unsigned doubts) {
  QStringList keys;
  if (doubts & kNoClock) keys << QStringLiteral("no_clock");
  if (doubts & kFewScores) keys << QStringLiteral("few_scores");
  if (doubts & kFarFromProcessor) keys << QStringLiteral("far_from_processor");
  return keys;
}

}  // namespace rootix::server::rules
