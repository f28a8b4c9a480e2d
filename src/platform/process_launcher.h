#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>

namespace rootix::platform {

// Starts programs without waiting for them, and ends them when no one waits
// for them any more.
class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts program with args detached; its process id, 0 when it could not
  // be started.
  virtual int64_t startDetached(const QString& program, const QStringList& args) = 0;
  // Ends the program started as pid, with everything it started, if it still
  // runs. A pid this launcher did not start is left alone.
  virtual void terminate(int64_t pid) = 0;
};

class QtProcessLauncher : public ProcessLauncher {
 public:
  int64_t startDetached(const QString& program, const QStringList& args) override;
  void terminate(int64_t pid) override;

 private:
  std::map<int64_t, QString> started_;  // pid -> program, to recognise it again
};

// The same with standard input, output and error on the null device: a
// program started for the user (a browser) must not share the terminal the
// console reads its lines from.
class SilentProcessLauncher : public ProcessLauncher {
 public:
  int64_t startDetached(const QString& program, const QStringList& args) override;
  // A browser belongs to the user: it is never ended for them.
  void terminate(int64_t) override {}
};

}  // namespace rootix::platform
