#include "server/submission.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <exception>

#include "server/form.h"
#include "server/score_rules.h"

namespace rootix::server {
namespace {

Failure refuse(QString reason, int status = 400) { return Failure{status, std::move(reason)}; }

QString loadFailure(int code) {
  switch (code) {
    case scores::Score::kNotAScore:
      return QStringLiteral("The data field does not hold a Rootix score.");
    case scores::Score::kChecksumMismatch:
      return QStringLiteral("The score's checksum does not match its values: the score was tampered with.");
    case scores::Score::kUnsupportedVersion:
      return QStringLiteral("The score was made by an unsupported beta version.");
    default:
      return QStringLiteral("The score is incomplete or damaged (error %1).").arg(code);
  }
}

// Browsers turn every line break of a form value into CR LF. A scrambled
// score normally has none, but a hardware text with the rare codes that
// scramble to CR or LF would then no longer load: the text as posted is tried
// first, then with the pairs turned back into either break.
int loadAsPosted(scores::Score& score, QByteArray& bytes) {
  const int code = score.loadBytes(bytes).code();
  if (code == scores::Score::kLoaded || !bytes.contains("\r\n")) return code;
  for (const char* lineBreak : {"\n", "\r"}) {
    QByteArray variant = bytes;
    variant.replace("\r\n", lineBreak);
    if (score.loadBytes(variant)) {
      bytes = std::move(variant);
      return scores::Score::kLoaded;
    }
  }
  return code;
}

bool isWebLink(const QString& link) {
  for (const QChar c : link) {
    if (c.unicode() <= 0x20 || c.unicode() == 0x7F) return false;  // no spaces or controls in a link
  }
  const QString lower = link.toLower();
  return (lower.startsWith(u"http://") && lower.size() > 7) || (lower.startsWith(u"https://") && lower.size() > 8);
}

}  // namespace

Result<void> checkTexts(const Submission& s) {
  if (rules::characterCount(s.title) > kMaxTitle)
    return refuse(QStringLiteral("The title is longer than %1 characters.").arg(kMaxTitle));
  if (rules::characterCount(s.description) > kMaxDescription) {
    return refuse(QStringLiteral("The description is longer than %1 characters.").arg(kMaxDescription));
  }
  if (rules::characterCount(s.link) > kMaxLink)
    return refuse(QStringLiteral("The link is longer than %1 characters.").arg(kMaxLink));
  if (!s.link.isEmpty() && !isWebLink(s.link)) {
    return refuse(QStringLiteral("The link must be a web address starting with http:// or https://."));
  }
  return {};
}

Result<Submission> readSubmission(const QByteArray& contentType, const QByteArray& body) {
  if (body.size() > kMaxBodyBytes) {
    return refuse(QStringLiteral("The submission is larger than %1 bytes.").arg(kMaxBodyBytes), 413);
  }
  const QByteArray mediaType = contentType.split(';').first().trimmed().toLower();
  if (mediaType != "application/x-www-form-urlencoded") {
    return refuse(QStringLiteral("Submissions are posted as a form (application/x-www-form-urlencoded)."), 415);
  }
  const auto fields = parseForm(body);
  if (!fields.contains("data") || fields.value("data").isEmpty()) {
    return refuse(QStringLiteral("The submission holds no score (the data field is missing)."));
  }

  Submission s;
  s.fileBytes = fields.value("data");
  const int code = loadAsPosted(s.score, s.fileBytes);
  if (code != scores::Score::kLoaded) return refuse(loadFailure(code));
  // The reader accepts times its own text form cannot show (near the
  // largest doubles): such a score cannot be stored as the program shows it.
  try {
    s.checksum = s.score.toString(true).split(QStringLiteral("\r\n")).value(21);
  } catch (const std::exception&) {
    return refuse(QStringLiteral("The score's values are out of range: its checksum cannot be formed."));
  }
  if (const auto rule = rules::impossibility(s.score)) return refuse(*rule, 422);
  if (const auto rule = rules::oversizedHardware(s.score)) return refuse(*rule, 422);

  s.title = formText(fields.value("title"));
  s.description = formText(fields.value("description"));
  s.link = formText(fields.value("link")).trimmed();
  if (Result<void> texts = checkTexts(s); !texts) return texts.failure();
  // An empty field is taken as none: there is nothing in it to keep.
  if (const QByteArray conditions = fields.value("conditions"); !conditions.isEmpty()) {
    if (conditions.size() > kMaxConditionsBytes) {
      return refuse(QStringLiteral("The conditions field is larger than %1 bytes.").arg(kMaxConditionsBytes));
    }
    QJsonParseError error;
    const QJsonDocument record = QJsonDocument::fromJson(conditions, &error);
    if (error.error != QJsonParseError::NoError || !record.isObject()) {
      return refuse(QStringLiteral("The conditions field is not a JSON object."));
    }
    s.conditions = record.toJson(QJsonDocument::Compact);
  }
  return s;
}

}  // namespace rootix::server
