#pragma once

#include <QByteArray>
#include <QString>

#include "platform/result.h"

namespace rootix::app {

// A JSON Lines file that records are appended to, one write per line, so
// lines of two programs appending at once never mix.
class JsonLinesFile {
 public:
  // Whether records can be appended at path: it is created when missing,
  // and must be a regular file we may write. A failure says why not in words.
  static Result<void> check(const QString& path);

  // Appends line and a line feed in one write; a failure says why not.
  static Result<void> append(const QString& path, const QByteArray& line);
};

}  // namespace rootix::app
