#pragma once

#include <QByteArray>
#include <QString>

namespace rootix::app {

// A JSON Lines file that records are appended to, one write per line, so
// lines of two programs appending at once never mix.
class JsonLinesFile {
 public:
  // Whether records can be appended at path: it is created when missing,
  // and must be a regular file we may write. Empty when it can, else why
  // not, in words.
  static QString check(const QString& path);

  // Appends line and a line feed in one write. Empty when done, else why not.
  static QString append(const QString& path, const QByteArray& line);
};

}  // namespace rootix::app
