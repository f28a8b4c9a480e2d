#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace rootix::testing {

// The repository's folder (fixtures live below it).
QString sourceDir();

// Runs the real rootix binary (ROOTIX_BINARY) in the terminal console, with a
// private TMPDIR, runtime and config folder, standard input given, and waits for it.
struct RootixRun {
  int exitCode = -1;
  bool finished = false;
  QByteArray out;
  QByteArray err;
  QStringList lines() const;  // standard output split into lines
};

class RootixSandbox {
 public:
  RootixSandbox();
  QString binary() const;
  QString path(const QString& name) const { return dir_.filePath(name); }
  QProcessEnvironment environment() const;
  // A copy of the binary named name with appended after its image (a
  // start-up script); the empty text when it could not be made.
  QString copyWith(const QString& name, const QByteArray& appended) const;
  RootixRun run(const QStringList& args, const QByteArray& input, int timeoutMs = 60000,
                const QString& program = {}) const;

 private:
  QTemporaryDir dir_;
};

}  // namespace rootix::testing
