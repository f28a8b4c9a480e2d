#include <gtest/gtest.h>

#include <cmath>

#include "platform/numbers.h"
#include "platform/runtime_error.h"
#include "score_test_support.h"
#include "scores/score.h"

namespace rootix::scores {
namespace {

using testdata::errorOf;

struct ChecksumCase {
  const char* name;
  int16_t test;
  double score;
  const char* clock;
  QString cpuName;
  const char* expected;
};

void PrintTo(const ChecksumCase& c, std::ostream* os) { *os << c.name; }

class Checksum : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(Checksum, Matches) {
  const ChecksumCase& c = GetParam();
  EXPECT_EQ(Score::csum(c.test, c.score, QString::fromLatin1(c.clock), c.cpuName), QLatin1String(c.expected));
}

// The score that makes v land on `target` for test 1, clock 1 and first
// character code `code`: v = score * atan(1) * code * 2.
double scoreGiving(double target, int code) { return target / (std::atan(1.0) * code * 2); }

INSTANTIATE_TEST_SUITE_P(
    Scores, Checksum,
    ::testing::Values(ChecksumCase{"Intel32M", 6, 12.345, "3000", "Intel", "BADAD7F5"},
                      ChecksumCase{"Amd1024M", 11, 300.5, "2400", "AMD", "90375D38"},
                      ChecksumCase{"EmptyNameIgnoresTheRest", 6, 12.345, "3000", "", "########"},
                      ChecksumCase{"EmptyNameEvenWithBadClock", 6, 12.345, "", "", "########"},
                      ChecksumCase{"ZeroClock", 6, 12.345, "0", "Intel", "00000000"},
                      ChecksumCase{"ClockWithBlanksAround", 6, 12.345, " 3000 ", "Intel", "BADAD7F5"},
                      // The clock is rounded to a whole number, ties to even: 2999.5 is 3000.
                      ChecksumCase{"ClockRoundsHalfToEven", 6, 12.345, "2999.5", "Intel", "BADAD7F5"},
                      // Only the first character's single-byte code counts.
                      ChecksumCase{"OnlyFirstCharacterCounts", 6, 12.345, "3000", "Ixxxx", "BADAD7F5"},
                      // d = +0.5 (v = 2.5) would need 2^31; it wraps to the text of d = -0.5.
                      ChecksumCase{"HalfUpWraps", 1, scoreGiving(2.5, 'A'), "1", "A", "80000000"},
                      ChecksumCase{"HalfDown", 1, scoreGiving(3.5, 'A'), "1", "A", "80000000"},
                      // v = 2.25 (d = 0.25) and v = 3.75 (d = -0.25): both signs of d.
                      ChecksumCase{"QuarterUp", 1, scoreGiving(2.25, 'A'), "1", "A", "40000000"},
                      ChecksumCase{"QuarterDownIsTwosComplement", 1, scoreGiving(3.75, 'A'), "1", "A", "C0000000"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ChecksumFailure {
  const char* name;
  int16_t test;
  double score;
  const char* clock;
  int code;
};

void PrintTo(const ChecksumFailure& c, std::ostream* os) { *os << c.name; }

class ChecksumFails : public ::testing::TestWithParam<ChecksumFailure> {};

TEST_P(ChecksumFails, WithCode) {
  const ChecksumFailure& c = GetParam();
  EXPECT_EQ(errorOf([&] { Score::csum(c.test, c.score, QString::fromLatin1(c.clock), QStringLiteral("Intel")); }),
            c.code);
}

INSTANTIATE_TEST_SUITE_P(Scores, ChecksumFails,
                         ::testing::Values(ChecksumFailure{"EmptyClock", 6, 1, "", kTypeMismatch},
                                           ChecksumFailure{"ClockWithUnit", 6, 1, "3000 MHz", kTypeMismatch},
                                           ChecksumFailure{"ClockWord", 6, 1, "fast", kTypeMismatch},
                                           ChecksumFailure{"ClockBeyond32Bits", 6, 1, "3e9", kOverflow},
                                           ChecksumFailure{"NegativeClock", 6, 1, "-3000", kInvalidProcedureCall},
                                           ChecksumFailure{"NegativeTest", -6, 1, "3000", kInvalidProcedureCall},
                                           ChecksumFailure{"ProductNotFinite", 6, 1e308, "2000000000", kOverflow}),
                         [](const auto& info) { return std::string(info.param.name); });

// Texts converted as a whole: the checksum's clock and the console's score number.
struct ConversionCase {
  const char* text;
  double value;  // NAN: type mismatch
};

class WholeTextNumber : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(WholeTextNumber, ConvertsOrRefuses) {
  const ConversionCase& c = GetParam();
  const QString text = QString::fromLatin1(c.text);
  if (std::isnan(c.value)) {
    EXPECT_EQ(errorOf([&] { num::convertNumber(text); }), kTypeMismatch) << c.text;
  } else {
    EXPECT_EQ(num::convertNumber(text), c.value) << c.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scores, WholeTextNumber,
    ::testing::Values(ConversionCase{"3000", 3000}, ConversionCase{" 12 ", 12}, ConversionCase{"\t-1.5", -1.5},
                      ConversionCase{"+.5", 0.5}, ConversionCase{"7.", 7}, ConversionCase{"1E3", 1000},
                      ConversionCase{"2d-1", 0.2}, ConversionCase{"&H1f", 31}, ConversionCase{"&o17", 15},
                      ConversionCase{"", NAN}, ConversionCase{" ", NAN}, ConversionCase{"x", NAN},
                      ConversionCase{"1 2", NAN}, ConversionCase{"1.2.3", NAN}, ConversionCase{"1e", NAN},
                      ConversionCase{".", NAN}, ConversionCase{"&H", NAN}, ConversionCase{"3000MHz", NAN}));

}  // namespace
}  // namespace rootix::scores
