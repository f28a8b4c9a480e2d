#include "server/score_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#include "scores/hardware_summary.h"
#include "server/pages.h"
#include "server/score_rules.h"

namespace rootix::server {
namespace {

// The JSON key of each hardware text, in the order of kHardwareFields.
constexpr std::array<const char*, 17> kHardwareKeys{
    "score_extra_memType",   "score_extra_memSize",    "score_extra_memClock",  "score_extra_memTCas",
    "score_extra_memTRCD",   "score_extra_memTRP",     "score_extra_memTRAS",   "score_extra_mbModel",
    "score_extra_mbVendor",  "score_extra_cpu_string", "score_extra_cpu_core",  "score_extra_cpu_rev",
    "score_extra_cpu_clock", "score_extra_cpu_fsb",    "score_extra_cpu_cache", "score_extra_cpu_vcore",
    "score_extra_cpu_count"};
static_assert(kHardwareKeys.size() == scores::kHardwareFields.size());

}  // namespace

QJsonObject scoreJson(const StoredScore& s) {
  QJsonObject hardware;
  for (size_t i = 0; i < kHardwareKeys.size(); ++i) {
    hardware.insert(QLatin1String(kHardwareKeys[i]),
                    pages::displayText(s.score.hardware.*(scores::kHardwareFields[i])));
  }
  return QJsonObject{
      {"id", s.id},
      {"test", s.score.score_test},
      {"test_name", pages::testName(s.score.score_test)},
      {"seconds", s.score.score_score},
      {"version", s.score.score_version},
      {"checksum", s.checksum},
      {"title", s.title},
      {"description", s.description},
      {"link", s.link},
      {"submitted", s.submitted.toString(Qt::ISODateWithMs)},
      {"page", QStringLiteral("/score/%1").arg(s.id)},
      {"file", QStringLiteral("/score/%1/file").arg(s.id)},
      {"hardware", hardware},
      // Unconfirmed scores are ranked after the confirmed ones.
      {"confirmed", !s.unconfirmed},
      {"doubts", QJsonArray::fromStringList(s.unconfirmed ? rules::doubtKeys(s.doubts) : QStringList())},
      // The run record it came with, or null.
      {"conditions", s.conditions ? QJsonValue(*s.conditions) : QJsonValue()},
  };
}

namespace {

// A JSON string as QJsonDocument writes it: UTF-8, with quote, backslash
// and the control characters escaped.
void appendString(QByteArray& out, const QString& text) {
  out += '"';
  const QByteArray utf8 = text.toUtf8();
  const char* const end = utf8.constEnd();
  for (const char* at = utf8.constBegin(); at != end; ++at) {
    // What needs no escape goes in whole runs: most texts are one.
    const char* const run = at;
    while (at != end && static_cast<unsigned char>(*at) >= 0x20 && *at != '"' && *at != '\\') ++at;
    out.append(run, at - run);
    if (at == end) break;
    const char c = *at;
    const auto u = static_cast<unsigned char>(c);
    out += '\\';
    switch (c) {
      case '"':
        out += '"';
        break;
      case '\\':
        out += '\\';
        break;
      case '\b':
        out += 'b';
        break;
      case '\f':
        out += 'f';
        break;
      case '\n':
        out += 'n';
        break;
      case '\r':
        out += 'r';
        break;
      case '\t':
        out += 't';
        break;
      default:
        out += "u00";
        out += "0123456789abcdef"[u >> 4];
        out += "0123456789abcdef"[u & 15];
    }
  }
  out += '"';
}

void appendKey(QByteArray& out, const char* key) {
  out += '"';
  out += key;
  out += "\":";
}

void appendNumber(QByteArray& out, double value) {
  out += std::isfinite(value) ? QByteArray::number(value, 'g', QLocale::FloatingPointShortest) : QByteArray("null");
}

}  // namespace

void appendScoreJson(QByteArray& out, const StoredScore& s) {
  // The keys in the order QJsonDocument writes them: sorted.
  out += '{';
  appendKey(out, "checksum");
  appendString(out, s.checksum);
  out += ',';
  appendKey(out, "conditions");
  out += s.conditions ? QJsonDocument(*s.conditions).toJson(QJsonDocument::Compact) : QByteArray("null");
  out += ',';
  appendKey(out, "confirmed");
  out += s.unconfirmed ? "false" : "true";
  out += ',';
  appendKey(out, "description");
  appendString(out, s.description);
  out += ',';
  appendKey(out, "doubts");
  out += '[';
  const QStringList doubts = s.unconfirmed ? rules::doubtKeys(s.doubts) : QStringList();
  for (qsizetype i = 0; i < doubts.size(); ++i) {
    if (i) out += ',';
    appendString(out, doubts[i]);
  }
  out += "],";
  appendKey(out, "file");
  appendString(out, QStringLiteral("/score/%1/file").arg(s.id));
  out += ',';
  appendKey(out, "hardware");
  out += '{';
  // Sorted as QJsonDocument sorts them, with the field each one shows.
  static const std::array<std::pair<const char*, QString scores::HardwareSummary::*>, 17> fields = [] {
    std::array<std::pair<const char*, QString scores::HardwareSummary::*>, 17> sorted{};
    for (size_t i = 0; i < sorted.size(); ++i) sorted[i] = {kHardwareKeys[i], scores::kHardwareFields[i]};
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return std::strcmp(a.first, b.first) < 0; });
    return sorted;
  }();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) out += ',';
    appendKey(out, fields[i].first);
    appendString(out, pages::displayText(s.score.hardware.*fields[i].second));
  }
  out += "},";
  appendKey(out, "id");
  out += QByteArray::number(s.id);
  out += ',';
  appendKey(out, "link");
  appendString(out, s.link);
  out += ',';
  appendKey(out, "page");
  appendString(out, QStringLiteral("/score/%1").arg(s.id));
  out += ',';
  appendKey(out, "seconds");
  appendNumber(out, s.score.score_score);
  out += ',';
  appendKey(out, "submitted");
  appendString(out, s.submitted.toString(Qt::ISODateWithMs));
  out += ',';
  appendKey(out, "test");
  out += QByteArray::number(s.score.score_test);
  out += ',';
  appendKey(out, "test_name");
  appendString(out, pages::testName(s.score.score_test));
  out += ',';
  appendKey(out, "title");
  appendString(out, s.title);
  out += ',';
  appendKey(out, "version");
  appendString(out, s.score.score_version);
  out += '}';
}

QByteArray exportLine(const StoredScore& s) {
  QJsonObject line = scoreJson(s);
  line.insert(QStringLiteral("file_base64"), QString::fromLatin1(s.fileBytes.toBase64()));
  return QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
}

namespace {

Failure refusal(const QString& reason) { return Failure{400, reason}; }

// The doubt bits of an unconfirmed score's keys; 0 for a confirmed one.
std::optional<unsigned> doubtsOf(const QJsonObject& line) {
  if (line.value(u"confirmed").toBool(true)) return 0u;
  unsigned bits = 0;
  for (const QJsonValue key : line.value(u"doubts").toArray()) {
    for (unsigned bit = 1; bit != 0 && bit <= 0x80; bit <<= 1) {
      if (rules::doubtKeys(bit).value(0) == key.toString()) bits |= bit;
    }
  }
  // Unconfirmed for no reason it names: judged again as a new score.
  return bits ? std::optional<unsigned>(bits) : std::nullopt;
}

}  // namespace

Result<Submission> readExportLine(const QByteArray& text) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) return refusal(QStringLiteral("not a JSON object"));
  const QJsonObject line = doc.object();
  const QJsonValue file = line.value(u"file_base64");
  if (!file.isString()) return refusal(QStringLiteral("no score file (file_base64)"));
  const auto bytes =
      QByteArray::fromBase64Encoding(file.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
  if (!bytes) return refusal(QStringLiteral("file_base64 is not base64"));
  // The score and its conditions are checked as a submission's are.
  QByteArray form = "data=" + bytes.decoded.toPercentEncoding();
  if (const QJsonValue c = line.value(u"conditions"); !c.isNull() && !c.isUndefined()) {
    form += "&conditions=" +
            (c.isObject() ? QJsonDocument(c.toObject()).toJson(QJsonDocument::Compact) : QByteArray("not an object"))
                .toPercentEncoding();
  }
  auto read = readSubmission("application/x-www-form-urlencoded", form);
  if (read) {
    Submission* s = &*read;
    // The texts as stored, not as a form would have them.
    s->title = line.value(u"title").toString();
    s->description = line.value(u"description").toString();
    s->link = line.value(u"link").toString().trimmed();
    if (Result<void> texts = checkTexts(*s); !texts) return texts.failure();
    s->submitted = QDateTime::fromString(line.value(u"submitted").toString(), Qt::ISODateWithMs);
    s->doubts = doubtsOf(line);
  }
  return read;
}

ImportReport importScores(ScoreStore& store, QIODevice& in) {
  constexpr qsizetype kBatch = 256;
  ImportReport report;
  QList<Submission> batch;
  auto flush = [&] {
    if (batch.isEmpty()) return true;
    const ScoreStore::Batch done = store.addAll(batch);
    for (const auto& entry : done.entries) {
      if (entry) ++(entry->isNew ? report.stored : report.skipped);
    }
    batch.clear();
    report.outcome = done.outcome;
    return done.outcome.ok();
  };
  qint64 number = 0;
  while (!in.atEnd()) {
    const QByteArray line = in.readLine().trimmed();
    ++number;
    if (line.isEmpty()) continue;
    Result<Submission> read = readExportLine(line);
    if (!read) {
      report.refused << QStringLiteral("line %1: %2").arg(number).arg(read.failure().text);
      continue;
    }
    batch.append(std::move(read).value());
    if (batch.size() == kBatch && !flush()) return report;
  }
  flush();
  return report;
}

}  // namespace rootix::server
