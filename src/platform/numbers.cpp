#include "platform/numbers.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include <QRegularExpression>

#include "platform/runtime_error.h"

namespace rootix::num {
namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }

// Cursor over the text that skips blanks wherever they stand.
struct Reader {
  QStringView text;
  qsizetype pos = 0;

  QChar peek() {
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    return pos < text.size() ? text[pos] : QChar();
  }
  void next() { ++pos; }
};

int digitValue(QChar c, int base) {
  const char16_t u = c.unicode();
  int v = -1;
  if (u >= u'0' && u <= u'9')
    v = u - u'0';
  else if (u >= u'a' && u <= u'f')
    v = u - u'a' + 10;
  else if (u >= u'A' && u <= u'F')
    v = u - u'A' + 10;
  return v >= 0 && v < base ? v : -1;
}

double readRadix(Reader& r, int base) {
  double value = 0;
  bool any = false;
  for (int d; (d = digitValue(r.peek(), base)) >= 0; r.next()) {
    value = value * base + d;
    any = true;
    if (value > 18446744073709551615.0) throw RuntimeError(kOverflow);
  }
  return any ? value : 0;
}

// x as decimal digits d1d2d3... with x = 0.d1d2d3... * 10^(exp10 + 1):
// all digits of its shortest text, or `significant` of them when given.
struct Decimal {
  bool negative;
  std::string digits;
  int exp10;
};

Decimal toDecimal(double x, int significant = 0) {
  char buf[64];
  const auto res = significant > 0
                       ? std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, significant - 1)
                       : std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific);
  std::string s(buf, res.ptr);
  Decimal d{s[0] == '-', {}, 0};
  if (d.negative) s.erase(0, 1);
  const auto e = s.find('e');
  d.exp10 = std::stoi(s.substr(e + 1));
  d.digits = s.substr(0, e);
  d.digits.erase(std::remove(d.digits.begin(), d.digits.end(), '.'), d.digits.end());
  return d;
}

// Significant digits kept; the rest only move the exponent. Far beyond what
// a double can tell apart, and it bounds the work on absurdly long input.
constexpr int kMaxDigits = 800;

}  // namespace

double readNumber(QStringView text) {
  Reader r{text};
  QChar c = r.peek();
  if (c == u'&') {
    const qsizetype save = r.pos;
    r.next();
    const QChar kind = r.peek().toUpper();
    if (kind == u'H' || kind == u'O') {
      r.next();
      return readRadix(r, kind == u'H' ? 16 : 8);
    }
    r.pos = save;
    return 0;
  }

  bool negative = false;
  if (c == u'+' || c == u'-') {
    negative = c == u'-';
    r.next();
  }
  std::string digits;
  long long exponentShift = 0;  // decimal exponent adjustment from dropped/fraction digits
  bool anyDigit = false;
  bool seenPoint = false;
  for (;;) {
    c = r.peek();
    if (c >= u'0' && c <= u'9') {
      anyDigit = true;
      if (digits.empty() && c == u'0') {
        if (seenPoint) --exponentShift;  // leading zeros of a fraction
      } else if (static_cast<int>(digits.size()) < kMaxDigits) {
        digits.push_back(static_cast<char>(c.unicode()));
        if (seenPoint) --exponentShift;
      } else if (!seenPoint) {
        ++exponentShift;
      }
      r.next();
    } else if (c == u'.' && !seenPoint) {
      seenPoint = true;
      r.next();
    } else {
      break;
    }
  }
  if (!anyDigit) return 0;

  long long exponent = 0;
  c = r.peek();
  if (c == u'e' || c == u'E' || c == u'd' || c == u'D') {
    r.next();
    bool expNegative = false;
    c = r.peek();
    if (c == u'+' || c == u'-') {
      expNegative = c == u'-';
      r.next();
    }
    for (c = r.peek(); c >= u'0' && c <= u'9'; r.next(), c = r.peek()) {
      if (exponent < 100000000) exponent = exponent * 10 + (c.unicode() - u'0');
    }
    if (expNegative) exponent = -exponent;
  }
  if (digits.empty()) return negative ? -0.0 : 0.0;

  const long long totalExponent = exponent + exponentShift;
  // Magnitude check before parsing keeps from_chars on sane exponents.
  const long long magnitude = totalExponent + static_cast<long long>(digits.size());
  if (magnitude > 310) throw RuntimeError(kOverflow);
  if (magnitude < -330) return negative ? -0.0 : 0.0;

  std::string clean = digits + "e" + std::to_string(totalExponent);
  double value = 0;
  const auto [ptr, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), value);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    // Either overflow or underflow; magnitude tells which.
    if (magnitude > 0) throw RuntimeError(kOverflow);
    value = 0;
  }
  if (std::isinf(value)) throw RuntimeError(kOverflow);
  return negative ? -value : value;
}

double convertNumber(QStringView text) {
  static const QRegularExpression whole(
      QStringLiteral(R"(^[ \t]*(?:[+-]?(?:\d+\.?\d*|\.\d+)(?:[EeDd][+-]?\d+)?|&[Hh][0-9A-Fa-f]+|&[Oo][0-7]+)[ \t]*$)"));
  if (!whole.match(text).hasMatch()) throw RuntimeError(kTypeMismatch);
  return readNumber(text);
}

double roundHalfEven(double x) { return std::nearbyint(x); }  // default mode: ties to even

double roundDecimals(double x, int places) {
  if (!std::isfinite(x) || x == 0) return x;
  // Round on the shortest decimal text of x, so 2.0005 is a tie as written.
  const Decimal dec = toDecimal(x);
  const bool negative = dec.negative;
  const int exp10 = dec.exp10;
  const std::string& mantissa = dec.digits;
  // value = 0.d1d2d3... * 10^(exp10 + 1); digits kept = exp10 + 1 + places.
  const int keep = exp10 + 1 + places;
  if (keep >= static_cast<int>(mantissa.size())) return x;  // already short enough
  if (keep < 0) return negative ? -0.0 : 0.0;
  std::string kept = mantissa.substr(0, keep);
  const char first = mantissa[keep];
  const bool restNonZero = mantissa.find_first_not_of('0', keep + 1) != std::string::npos;
  bool up = first > '5' || (first == '5' && restNonZero);
  if (first == '5' && !restNonZero) {
    const int lastKept = kept.empty() ? 0 : kept.back() - '0';
    up = (lastKept % 2) == 1;
  }
  // Add one unit in the last kept place on the digit string.
  if (up) {
    int i = static_cast<int>(kept.size()) - 1;
    while (i >= 0 && kept[i] == '9') kept[i--] = '0';
    if (i >= 0) {
      ++kept[i];
    } else {
      kept.insert(kept.begin(), '1');  // 999.9 -> 1000: one digit more, same scale
    }
  }
  if (kept.empty()) return negative ? -0.0 : 0.0;
  // kept digits represent kept * 10^(-places)
  std::string text = kept + "e" + std::to_string(-places);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return negative ? -value : value;
}

int16_t toInt16(double x) {
  const double r = roundHalfEven(x);
  if (!(r >= -32768.0 && r <= 32767.0)) throw RuntimeError(kOverflow);
  return static_cast<int16_t>(r);
}

int32_t toInt32(double x) {
  const double r = roundHalfEven(x);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw RuntimeError(kOverflow);
  return static_cast<int32_t>(r);
}

namespace {

QString formatDigits(double x, int precision) {
  if (std::isnan(x)) return QStringLiteral("NaN");
  if (std::isinf(x)) return x > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
  if (x == 0) return QStringLiteral("0");
  Decimal dec = toDecimal(x, precision);
  const bool negative = dec.negative;
  const int exp10 = dec.exp10;
  std::string& digits = dec.digits;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out;
  if (exp10 >= precision || exp10 < -4) {
    out = digits.substr(0, 1);
    if (digits.size() > 1) {
      // Appended in place: gcc 12 -O3 sees a false overlap in "." + std::string.
      out += '.';
      out.append(digits, 1);
    }
    char expBuf[16];
    std::snprintf(expBuf, sizeof expBuf, "E%c%02d", exp10 < 0 ? '-' : '+', std::abs(exp10));
    out += expBuf;
  } else if (exp10 < 0) {
    out = "0.";
    out.append(static_cast<size_t>(-exp10 - 1), '0');
    out += digits;
  } else {
    const size_t intDigits = static_cast<size_t>(exp10) + 1;
    if (digits.size() <= intDigits) {
      out = digits + std::string(intDigits - digits.size(), '0');
    } else {
      out = digits.substr(0, intDigits) + "." + digits.substr(intDigits);
    }
  }
  if (negative) out.insert(out.begin(), '-');
  return QString::fromLatin1(out);
}

QChar& separatorSlot() {
  static QChar separator = [] {
    QChar sep = u'.';
    if (locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr))) {
      const char* radix = nl_langinfo_l(RADIXCHAR, loc);
      if (radix && radix[0]) sep = QString::fromLocal8Bit(radix).at(0);
      freelocale(loc);
    }
    return sep;
  }();
  return separator;
}

QString localise(QString s) {
  const QChar sep = localeDecimalSeparator();
  if (sep != u'.') s.replace(u'.', sep);
  return s;
}

}  // namespace

QString formatGeneral(double x) { return formatDigits(x, 15); }
QString formatGeneralSingle(float x) { return formatDigits(static_cast<double>(x), 7); }
QString numberText(double x) { return localise(formatGeneral(x)); }
QString numberTextSingle(float x) { return localise(formatGeneralSingle(x)); }
QString formatFlag(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

QChar localeDecimalSeparator() { return separatorSlot(); }
void setLocaleDecimalSeparatorForTesting(QChar separator) { separatorSlot() = separator; }

}  // namespace rootix::num
