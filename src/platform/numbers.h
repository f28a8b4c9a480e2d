#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

// The one place for number reading, rounding and formatting. Every subsystem
// reads and prints numbers through these, so the console, scores and the
// hardware summary agree digit for digit.
namespace rootix::num {

// Reads the number at the start of text: blanks (space, tab, line feed) are
// skipped wherever they stand, also between digits; then an optional sign,
// digits, at most one "." and an optional exponent (E or D, optional sign,
// digits). "&H" and "&O" introduce hexadecimal and octal whole numbers.
// Reading stops at the first other character; no digits give 0. A magnitude
// beyond double throws RuntimeError(kOverflow), as any arithmetic would.
double readNumber(QStringView text);

// A text converted as a whole into a number: one number, optionally with
// spaces or tabs around it, in the syntax readNumber accepts. Anything else,
// the empty text included, throws RuntimeError(kTypeMismatch); unlike reading
// a leading number, "3000 MHz" is refused.
double convertNumber(QStringView text);

// Nearest whole number, ties to the even neighbour (6.5 -> 6, 7.5 -> 8).
double roundHalfEven(double x);

// x rounded to `places` decimal places, ties to even (as on decimal text:
// 2.0005 at 3 places is a tie). places from 0 to 15.
double roundDecimals(double x, int places);

// Whole number conversions: round ties to even, then range-check. Out of
// range (or not a number) throws RuntimeError(kOverflow).
int16_t toInt16(double x);
int32_t toInt32(double x);

// General format: up to 15 significant digits (7 for single precision), no
// trailing zeros, no trailing point, "." as separator, exponent form ("1E+15",
// "1E-05") for very large or very small magnitudes. Negative zero prints "0".
QString formatGeneral(double x);
QString formatGeneralSingle(float x);

// General format with the user's locale decimal separator (LC_NUMERIC).
QString numberText(double x);
QString numberTextSingle(float x);

// Flags print as "True" and "False".
QString formatFlag(bool value);

// The locale's decimal separator, read once from LC_NUMERIC. Tests may set it.
QChar localeDecimalSeparator();
void setLocaleDecimalSeparatorForTesting(QChar separator);

}  // namespace rootix::num
