#include <gtest/gtest.h>

#include <cmath>

#include "platform/numbers.h"
#include "platform/runtime_error.h"

namespace rootix::num {
namespace {

TEST(ReadNumber, Table) {
  const std::pair<const char16_t*, double> cases[] = {
      {u"", 0},
      {u"abc", 0},
      {u"42", 42},
      {u" 4 2 ", 42},
      {u"\t1\n5", 15},
      {u"-1.5", -1.5},
      {u"+7", 7},
      {u"1.2.3", 1.2},
      {u"3411.53 MHz", 3411.53},
      {u"4 x 256 KBytes", 4},
      {u"4 2 5 6", 4256},  // blanks are skipped between digits too
      {u"8 (max 8)", 8},
      {u"1T", 1},
      {u"DDR3", 0},
      {u"1E3", 1000},
      {u"1e+3", 1000},
      {u"2.5D-1", 0.25},
      {u"1E", 1},
      {u"&H1F", 31},
      {u"&hff", 255},
      {u"&O17", 15},
      {u"&X1", 0},
      {u".5", 0.5},
      {u"-", 0},
      {u"1e-400", 0},
      {u"0.1", 0.1},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(readNumber(QString::fromUtf16(text)), expected) << QString::fromUtf16(text).toStdString();
  }
}

TEST(ReadNumber, OverflowIsAnError) {
  for (const char16_t* text : {u"1e400", u"-1e309", u"&HFFFFFFFFFFFFFFFFFF"}) {
    try {
      readNumber(QString::fromUtf16(text));
      ADD_FAILURE() << QString::fromUtf16(text).toStdString();
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.code(), kOverflow);
    }
  }
}

TEST(ReadNumber, VeryLongInputStaysExact) {
  EXPECT_EQ(readNumber(QString(100000, u'0') + u'7'), 7);
  EXPECT_EQ(readNumber(QStringLiteral("1") + QString(300, u'0')), 1e300);
  EXPECT_EQ(readNumber(QStringLiteral("0.") + QString(400, u'0') + u'1'), 0);
}

TEST(Rounding, HalfToEven) {
  const std::pair<double, double> whole[] = {{6.5, 6}, {7.5, 8}, {-2.5, -2}, {2.4, 2}, {2.6, 3}, {0.5, 0}};
  for (const auto& [x, expected] : whole) EXPECT_EQ(roundHalfEven(x), expected) << x;

  const std::tuple<double, int, double> decimals[] = {
      {12.3455, 3, 12.346},
      {2.0005, 3, 2.0},
      {2.0015, 3, 2.002},
      {1.23456, 3, 1.235},
      {189919.72990178812, 9, 189919.729901788},
      {-0.0005, 3, -0.0},
      {999.9995, 3, 1000},
      {10.5, 0, 10},
      {0.1, 3, 0.1},
  };
  for (const auto& [x, places, expected] : decimals) EXPECT_EQ(roundDecimals(x, places), expected) << x;
}

TEST(WholeNumbers, RangeChecked) {
  EXPECT_EQ(toInt16(32767.4), 32767);
  EXPECT_EQ(toInt16(-32768), -32768);
  EXPECT_EQ(toInt32(2147483647), 2147483647);
  for (double bad : {32767.5, -32769.0, double(NAN), double(INFINITY)}) EXPECT_THROW(toInt16(bad), RuntimeError) << bad;
  EXPECT_THROW(toInt32(2147483648.0), RuntimeError);
}

TEST(GeneralFormat, Table) {
  const std::pair<double, const char*> cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {10, "10"},
      {2.25, "2.25"},
      {-150, "-150"},
      {1.0 / 3, "0.333333333333333"},
      {1027.289394476431, "1027.28939447643"},
      {123456789012345, "123456789012345"},
      {1e15, "1E+15"},
      {1.5e300, "1.5E+300"},
      {0.0001, "0.0001"},
      {0.00001, "1E-05"},
      {6520.388134078477, "6520.38813407848"},
  };
  for (const auto& [x, expected] : cases) EXPECT_EQ(formatGeneral(x), QString::fromLatin1(expected)) << x;
  EXPECT_EQ(formatGeneralSingle(133.3f), QStringLiteral("133.3"));
  EXPECT_EQ(formatGeneralSingle(8192.0f), QStringLiteral("8192"));
  EXPECT_EQ(formatFlag(true), QStringLiteral("True"));
  EXPECT_EQ(formatFlag(false), QStringLiteral("False"));
}

TEST(GeneralFormat, LocaleSeparatorOnlyInNumberText) {
  const QChar saved = localeDecimalSeparator();
  setLocaleDecimalSeparatorForTesting(u',');
  EXPECT_EQ(numberText(3411.53), QStringLiteral("3411,53"));
  EXPECT_EQ(numberTextSingle(133.3f), QStringLiteral("133,3"));
  EXPECT_EQ(formatGeneral(2.5), QStringLiteral("2.5"));
  setLocaleDecimalSeparatorForTesting(saved);
}

}  // namespace
}  // namespace rootix::num
