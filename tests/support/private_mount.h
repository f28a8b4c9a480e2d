#pragma once

#include <QString>

namespace rootix::testing {

// A small tmpfs mounted on folder in a mount namespace of the calling
// thread's own (private propagation, so nothing shows outside the test; the
// programs the thread starts see it too). Needs CAP_SYS_ADMIN: where it
// cannot be made, mounted() is false and whyNot() says why, for a skip.
class PrivateTmpfs {
 public:
  PrivateTmpfs(const QString& folder, const QString& options, bool readOnly = false);
  ~PrivateTmpfs();
  PrivateTmpfs(const PrivateTmpfs&) = delete;
  PrivateTmpfs& operator=(const PrivateTmpfs&) = delete;

  bool mounted() const { return mounted_; }
  const QString& whyNot() const { return whyNot_; }

 private:
  QString folder_;
  bool mounted_ = false;
  QString whyNot_;
};

// Fills the file system holding folder with a file there until it is full.
void fillUp(const QString& folder);

}  // namespace rootix::testing
