#include "console/transcript.h"

namespace rootix::console {

bool Transcript::appendLine(const QString& s) {
  bool cleared = false;
  if (text_.size() >= kLimit) {
    text_ = QStringLiteral("Clearing console\r\n");
    cleared = true;
  }
  text_ += s;
  text_ += QStringLiteral("\r\n");
  return cleared;
}

void Transcript::appendText(const QString& s) { text_ += s; }

}  // namespace rootix::console
