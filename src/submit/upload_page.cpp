#include "submit/upload_page.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <utility>

#include "platform/text.h"

namespace rootix::submit {
namespace {

void appendReference(QByteArray& out, uint code) {
  out += "&#";
  out += QByteArray::number(code);
  out += ';';
}

// Caption and address text for a windows-1252 page: ASCII as it is, every
// other character as a reference, so any language's captions come through.
QByteArray escapeText(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  for (const char32_t code : text::htmlEscape(text).toUcs4()) {
    if (code < 128) {
      out += static_cast<char>(code);
    } else {
      appendReference(out, code);
    }
  }
  return out;
}

QByteArray pageTemplate() {
  QFile file(QStringLiteral(":/submit/upload_page.html"));
  // Built into the program: missing only in a broken build.
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace

PageTexts PageTexts::from(const TextLookup& getText) {
  auto get = [&getText](const char* key) { return getText(QString::fromLatin1(key)); };
  return {get("upload-info"), get("upload"), get("title"), get("link"), get("description")};
}

QByteArray escapeBytes(const QByteArray& bytes) {
  const QString escaped = text::htmlEscape(text::fromSingleByte(bytes));
  QByteArray out;
  out.reserve(escaped.size());
  for (const QChar c : escaped) {
    const char16_t code = c.unicode();
    if ((code < 32 && code != '\t') || code == 127) {
      // A raw CR would reach the text as LF; references keep every code.
      appendReference(out, code);
    } else {
      out += static_cast<char>(code);
    }
  }
  return out;
}

qsizetype firstByteFormChanges(const QByteArray& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '\0') return i;
    if (ch == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return i;
    if (ch == '\n' && (i == 0 || text[i - 1] != '\r')) return i;
  }
  return -1;
}

QString conditionsInWords(const QByteArray& conditions) {
  if (conditions.isEmpty()) return {};
  const QJsonObject record = QJsonDocument::fromJson(conditions).object();
  const QJsonObject c = record.value(QStringLiteral("conditions")).toObject();
  auto text = [](const QJsonValue& v, const QString& unknown) {
    if (v.isString() && !v.toString().isEmpty()) return v.toString();
    if (v.isDouble()) return QString::number(v.toDouble());
    return unknown;
  };
  const QString unknown = QStringLiteral("unknown");
  QString processor = text(c.value(QStringLiteral("processor")), unknown);
  const QString codename = c.value(QStringLiteral("codename")).toString();
  if (!codename.isEmpty()) processor += QStringLiteral(" (") + codename + u')';
  return QStringLiteral("With this score the form also sends how its run was made: the processor ") + processor +
         QStringLiteral(", ") + text(record.value(QStringLiteral("threads")), unknown) +
         QStringLiteral(" threads on ") + text(c.value(QStringLiteral("logical_cpus")), unknown) +
         QStringLiteral(" logical processors, the kernel ") + text(record.value(QStringLiteral("kernel")), unknown) +
         QStringLiteral(", ") +
         (c.value(QStringLiteral("hypervisor")).isString()
              ? QStringLiteral("a virtual machine under ") + c.value(QStringLiteral("hypervisor")).toString()
              : QStringLiteral("no hypervisor")) +
         QStringLiteral(", the governor ") + text(c.value(QStringLiteral("governor")), unknown) +
         QStringLiteral(", clocks, load and memory, Linux ") +
         text(c.value(QStringLiteral("kernel_release")), unknown) +
         QStringLiteral(", and the warnings about them. Nothing else about you or this computer is sent.");
}

QByteArray renderUploadPage(const QString& serverBase, const PageTexts& texts, const QByteArray& scoreText,
                            const QByteArray& conditions) {
  QByteArray field;
  QByteArray note;
  if (!conditions.isEmpty()) {
    field = "        <input type=\"hidden\" name=\"conditions\" value=\"" +
            escapeText(QString::fromLatin1(conditions)) + "\">\n";
    note = "      <p style=\"font-size:10pt;font-family:Tahoma,sans-serif;color:#555555;\">" +
           escapeText(conditionsInWords(conditions)) + "</p>\n";
  }
  const std::array<std::pair<QByteArrayView, QByteArray>, 9> values{{
      {"Server", escapeText(serverBase)},
      {"UploadInfo", escapeText(texts.uploadInfo)},
      {"Upload", escapeText(texts.upload)},
      {"Title", escapeText(texts.title)},
      {"Link", escapeText(texts.link)},
      {"Description", escapeText(texts.description)},
      {"DATA", escapeBytes(scoreText)},
      {"ConditionsField", field},
      {"ConditionsNote", note},
  }};
  // One pass over the template: inserted text is never searched again.
  const QByteArray page = pageTemplate();
  if (page.isEmpty()) return {};
  QByteArray out;
  out.reserve(page.size() + values.back().second.size() + texts.uploadInfo.size() + 8 * serverBase.size());
  qsizetype pos = 0;
  while (pos < page.size()) {
    const qsizetype open = page.indexOf("!!", pos);
    const qsizetype close = open < 0 ? -1 : page.indexOf("!!", open + 2);
    if (close < 0) break;
    const QByteArrayView name = QByteArrayView(page).sliced(open + 2, close - open - 2);
    const auto* hit = std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == name; });
    if (hit == values.end()) {
      out += QByteArrayView(page).sliced(pos, close - pos);
      pos = close;
      continue;
    }
    out += QByteArrayView(page).sliced(pos, open - pos);
    out += hit->second;
    pos = close + 2;
  }
  out += QByteArrayView(page).sliced(pos);
  return out;
}

}  // namespace rootix::submit
