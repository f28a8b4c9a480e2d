#pragma once

#include <QString>

namespace rootix::platform {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Clears the clipboard and puts text on it.
  virtual void setText(const QString& text) = 0;
};

}  // namespace rootix::platform
