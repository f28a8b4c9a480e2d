#include "server/form.h"

#include <QList>
#include <QStringDecoder>
#include <algorithm>

namespace rootix::server {
namespace {

// 0x80..0x9F, the only range where windows-1252 differs from Latin-1; the
// five unassigned codes map to the C1 controls of the same number, as
// browsers do.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Qt's own decoder turns a malformed escape into an arbitrary byte.
QByteArray decodeComponent(const QByteArray& part) {
  QByteArray out;
  out.reserve(part.size());
  for (qsizetype i = 0; i < part.size(); ++i) {
    const char c = part[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < part.size() && hexValue(part[i + 1]) >= 0 && hexValue(part[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(part[i + 1]) * 16 + hexValue(part[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// "&#NNN;" and "&#xHH;" with a code point a character can hold.
QString resolveNumericReferences(const QString& text) {
  if (!text.contains(u"&#")) return text;
  QString out;
  out.reserve(text.size());
  qsizetype i = 0;
  while (i < text.size()) {
    if (text[i] == u'&' && i + 2 < text.size() && text[i + 1] == u'#') {
      const bool hex = text[i + 2] == u'x' || text[i + 2] == u'X';
      const qsizetype digits = i + (hex ? 3 : 2);
      const qsizetype end = text.indexOf(u';', digits);
      if (end > digits && end - digits <= 8) {
        bool ok = false;
        const uint code = text.mid(digits, end - digits).toUInt(&ok, hex ? 16 : 10);
        const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
        if (ok && code > 0 && code <= 0x10FFFF && !surrogate) {
          const char32_t c = code;
          out += QString::fromUcs4(&c, 1);
          i = end + 1;
          continue;
        }
      }
    }
    out += text[i++];
  }
  return out;
}

}  // namespace

QHash<QByteArray, QByteArray> parseForm(const QByteArray& body) {
  QHash<QByteArray, QByteArray> fields;
  for (const QByteArray& pair : body.split('&')) {
    if (pair.isEmpty()) continue;
    const qsizetype eq = pair.indexOf('=');
    const QByteArray name = decodeComponent(eq < 0 ? pair : pair.left(eq));
    if (fields.contains(name)) continue;
    fields.insert(name, eq < 0 ? QByteArray() : decodeComponent(pair.mid(eq + 1)));
  }
  return fields;
}

QString fromWindows1252(const QByteArray& bytes) {
  QString text(bytes.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    text[i] = QChar(b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t(b));
  }
  return resolveNumericReferences(text);
}

QString formText(const QByteArray& bytes) {
  const bool ascii =
      std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return resolveNumericReferences(text);
  }
  return fromWindows1252(bytes);
}

}  // namespace rootix::server
