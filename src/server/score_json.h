#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QJsonObject>
#include <QStringList>

#include "server/score_store.h"
#include "server/submission.h"

namespace rootix::server {

// A stored score as the JSON interface shows it.
QJsonObject scoreJson(const StoredScore& score);

// The same as QJsonDocument(scoreJson(score)).toJson(Compact), appended to
// out without building the object: a list of scores is written many times
// a second.
void appendScoreJson(QByteArray& out, const StoredScore& score);

// One line of an export (JSON Lines): what scoreJson shows, with the score
// file's bytes in "file_base64"; ends in a line break.
QByteArray exportLine(const StoredScore& score);
// A line of an export as a submission that keeps its date and whether it
// was confirmed; refused as a submission of it would be.
Result<Submission> readExportLine(const QByteArray& line);

struct ImportReport {
  qint64 stored = 0;
  qint64 skipped = 0;    // the same run was there already
  QStringList refused;   // "line N: why", one per line that was not taken
  Result<void> outcome;  // a database failure; lines after it were not read
};
// Loads an export into store, in batches; a line that cannot be read is
// reported and passed over, a database failure ends the import.
ImportReport importScores(ScoreStore& store, QIODevice& in);

}  // namespace rootix::server
