#include "platform/text.h"

#include <QDir>

namespace rootix::text {

QString addSlash(const QString& path) {
  const QChar sep = QDir::separator();
  if (path.endsWith(sep)) return path;
  return path + sep;
}

QString getBetween(const QString& text, const QString& startMark, const QString& endMark) {
  const qsizetype start = text.indexOf(startMark);
  if (start < 0) return {};
  const QString rest = text.mid(start + startMark.size());
  const qsizetype end = endMark.isEmpty() ? -1 : rest.indexOf(endMark);
  return end < 0 ? rest : rest.left(end);
}

QString trimSpaces(const QString& text) {
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && text[first] == u' ') ++first;
  while (last > first && text[last - 1] == u' ') --last;
  return text.mid(first, last - first);
}

QByteArray toSingleByte(const QString& text) {
  QByteArray out(text.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t u = text[i].unicode();
    out[i] = static_cast<char>(u < 256 ? u : u'?');
  }
  return out;
}

QString fromSingleByte(const QByteArray& bytes) { return QString::fromLatin1(bytes); }

QString htmlEscape(const QString& text) {
  QString out;
  out.reserve(text.size() + text.size() / 8);
  for (const QChar c : text) {
    switch (c.unicode()) {
      case u'&':
        out += u"&amp;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'"':
        out += u"&quot;";
        break;
      case u'\'':
        out += u"&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace rootix::text
