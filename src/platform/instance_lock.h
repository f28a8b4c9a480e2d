#pragma once

#include <QLockFile>
#include <QString>

namespace rootix::platform {

// One Rootix per user. The lock lives where every start of the same user
// finds it whatever TMPDIR says: $XDG_RUNTIME_DIR when it is a folder of this
// user's closed to others, else the user's private folder under /tmp.
class InstanceLock {
 public:
  enum class Result { Acquired, HeldByAnother, Unusable };

  // The folder for runtimeDir (the value of XDG_RUNTIME_DIR) with systemTemp
  // as the fallback's base. May throw RuntimeError from privateFolderUnder.
  static QString folderFor(const QString& runtimeDir, const QString& systemTemp = QStringLiteral("/tmp"));

  explicit InstanceLock(const QString& folder);
  Result tryLock();
  void unlock() { lock_.unlock(); }
  // For Unusable: one line naming the lock file and the reason.
  const QString& problem() const { return problem_; }

 private:
  QString folder_;
  QLockFile lock_;
  QString problem_;
};

}  // namespace rootix::platform
