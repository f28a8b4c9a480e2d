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

}  // namespace rootix::platform
