#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

#include "platform/result.h"
#include "scores/score.h"

namespace rootix::server {

// A score the server accepts, with what the submitter typed beside it.
struct Submission {
  scores::Score score;
  QByteArray fileBytes;  // the scrambled text as it loaded: what "load" reads
  QString checksum;      // the checksum line of its plain text, as stored
  QString title;
  QString description;
  QString link;
  // The run record the page sent beside the score (compact JSON, an
  // object); empty when none came, as from older pages or loaded scores.
  QByteArray conditions;
  // Kept from an export by an import; otherwise unset: the score is stored
  // as submitted now and judged by the rules.
  QDateTime submitted;
  std::optional<unsigned> doubts;
};

// Limits of the submission form; the page enforces the same ones, in
// characters (an emoji is one).
inline constexpr qsizetype kMaxBodyBytes = 64 * 1024;
inline constexpr qsizetype kMaxTitle = 50;
inline constexpr qsizetype kMaxDescription = 255;
inline constexpr qsizetype kMaxLink = 255;
inline constexpr qsizetype kMaxConditionsBytes = 8 * 1024;

// Reads a posted submission form. The score must be one the program itself
// would load (the client's own reader decides), break none of the rules of
// score_rules.h (422 naming the rule) and whose stored row can be made;
// nothing here touches a database, and no input makes it throw. A refusal
// is a Failure whose number is the HTTP status and whose text is the one
// sentence the submitter is shown.
Result<Submission> readSubmission(const QByteArray& contentType, const QByteArray& body);
// The limits of title, description and link, as readSubmission applies them.
Result<void> checkTexts(const Submission& submission);

}  // namespace rootix::server
