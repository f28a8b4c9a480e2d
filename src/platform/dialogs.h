#pragma once

#include <QString>

namespace rootix::platform {

// Modal message boxes. The window face shows real boxes; the terminal face
// prints the question and reads the answer from standard input.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Information box with an OK button; returns when it is closed.
  virtual void alert(const QString& text, const QString& caption) = 0;
  // Yes/No box; true for Yes.
  virtual bool askYesNo(const QString& text, const QString& caption) = 0;
};

}  // namespace rootix::platform
