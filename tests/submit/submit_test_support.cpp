#include "submit_test_support.h"

#include <QRegularExpression>

namespace rootix::submit::testing {

QList<Tag> ParsedPage::tagsNamed(const QString& name) const {
  QList<Tag> out;
  for (const Tag& t : tags) {
    if (t.name == name) out << t;
  }
  return out;
}

std::optional<QByteArray> unescape(QByteArrayView escaped) {
  QByteArray out;
  for (qsizetype i = 0; i < escaped.size(); ++i) {
    const char ch = escaped[i];
    if (ch != '&') {
      out += ch;
      continue;
    }
    const qsizetype end = QByteArrayView(escaped).indexOf(';', i);
    if (end < 0) return std::nullopt;
    const QByteArrayView ref = escaped.sliced(i + 1, end - i - 1);
    if (ref == "amp") {
      out += '&';
    } else if (ref == "lt") {
      out += '<';
    } else if (ref == "gt") {
      out += '>';
    } else if (ref == "quot") {
      out += '"';
    } else if (ref.startsWith('#')) {
      bool ok = false;
      const int code = ref.sliced(1).toByteArray().toInt(&ok);
      if (!ok || code < 1 || code > 255) return std::nullopt;
      out += static_cast<char>(code);
    } else {
      return std::nullopt;
    }
    i = end;
  }
  return out;
}

ParsedPage parsePage(const QByteArray& page) {
  ParsedPage parsed;
  static const QRegularExpression kTag(QStringLiteral(R"re(<([a-zA-Z]+)((?:\s+[a-zA-Z-]+="[^"]*")*)\s*>)re"));
  static const QRegularExpression kAttribute(QStringLiteral(R"re(([a-zA-Z-]+)="([^"]*)")re"));

  const qsizetype open = page.indexOf("<textarea");
  const qsizetype contentStart = open < 0 ? -1 : page.indexOf('>', open) + 1;
  const qsizetype close = contentStart <= 0 ? -1 : page.indexOf("</textarea>", contentStart);
  parsed.outsideTextarea = page;
  if (close >= 0) {
    // As a browser reads the file: raw CR LF and lone CR become LF, then the
    // line break right after the start tag is dropped.
    QByteArray content = page.mid(contentStart, close - contentStart);
    content.replace("\r\n", "\n").replace('\r', '\n');
    if (content.startsWith('\n')) content.remove(0, 1);
    if (const auto bytes = unescape(content)) {
      parsed.textareaBytes = *bytes;
      parsed.textareaWellFormed = true;
    }
    parsed.outsideTextarea = page.left(contentStart) + page.mid(close);
  }

  // Tags are read outside the textarea: its text is never markup.
  const QString markup = QString::fromLatin1(parsed.outsideTextarea);
  for (auto it = kTag.globalMatch(markup); it.hasNext();) {
    const auto m = it.next();
    Tag tag{m.captured(1).toLower(), {}};
    for (auto a = kAttribute.globalMatch(m.captured(2)); a.hasNext();) {
      const auto am = a.next();
      tag.attributes.insert(am.captured(1).toLower(),
                            QString::fromLatin1(unescape(am.captured(2).toLatin1()).value_or("<bad reference>")));
    }
    parsed.tags << tag;
  }
  return parsed;
}

QString unscrambledFor(const QByteArray& scrambled) {
  QString plain;
  for (const char ch : scrambled) {
    int code = static_cast<unsigned char>(ch) - 7;
    if (code < 1) code += 255;
    plain += QChar(static_cast<char16_t>(code));
  }
  return plain;
}

}  // namespace rootix::submit::testing
