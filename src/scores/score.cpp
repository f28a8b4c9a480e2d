#include "scores/score.h"

#include <cmath>

#include "platform/numbers.h"
#include "platform/runtime_error.h"
#include "platform/text.h"

namespace rootix::scores {
namespace {

// What a score line can hold: single-byte codes 1..255 and no line break.
QString storable(QString text) {
  for (QChar& c : text) {
    const char16_t u = c.unicode();
    if (u > 255 || u == 0 || u == u'\r' || u == u'\n') c = u'?';
  }
  return text;
}

}  // namespace

Score Score::Create(double score, int16_t test, const HardwareSummary& hardware) {
  Score s;
  s.score_score = score;
  s.score_test = test;
  s.score_version = QStringLiteral("207");
  s.hardware = hardware;
  for (const auto field : kHardwareFields) s.hardware.*field = storable(s.hardware.*field);
  s.score_visible = true;
  return s;
}

QString Score::csum(int16_t test, double score, const QString& cpuclock, const QString& cpuname) {
  if (cpuname.isEmpty()) return QStringLiteral("########");
  const auto c = static_cast<unsigned char>(text::toSingleByte(cpuname.left(1)).at(0));
  const int32_t k = num::toInt32(num::convertNumber(cpuclock));
  if (test < 0 || k < 0) throw RuntimeError(kInvalidProcedureCall);  // square root of a negative

  // The order of the products is part of the checksum; it must not change.
  double v =
      ((((score * std::sqrt(static_cast<double>(test))) * std::atan(1.0)) * c) * std::sqrt(static_cast<double>(k))) * 2;
  if (!std::isfinite(v)) throw RuntimeError(kOverflow);
  v = num::roundDecimals(v, 9);
  const double d = v - num::roundHalfEven(v);
  const double w = num::roundHalfEven(d * 256 * 256 * 256 * 256);
  // d = +0.5 gives w = 2^31, one past the 32-bit range; taken modulo 2^32 it
  // becomes 80000000, the same text as d = -0.5, instead of failing.
  const auto bits = static_cast<uint32_t>(static_cast<int64_t>(w));
  return QStringLiteral("%1").arg(bits, 8, 16, QLatin1Char('0')).toUpper();
}

}  // namespace rootix::scores
