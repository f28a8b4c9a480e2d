#pragma once

#include <QString>
#include <QStringList>

namespace rootix::platform {

// Starts programs without waiting for them.
class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts program with args detached; false when it could not be started.
  virtual bool startDetached(const QString& program, const QStringList& args) = 0;
};

class QtProcessLauncher : public ProcessLauncher {
 public:
  bool startDetached(const QString& program, const QStringList& args) override;
};

// The same with standard input, output and error on the null device: a
// program started for the user (a browser) must not share the terminal the
// console reads its lines from.
class SilentProcessLauncher : public ProcessLauncher {
 public:
  bool startDetached(const QString& program, const QStringList& args) override;
};

}  // namespace rootix::platform
