#include "platform/command_call.h"

#include "platform/numbers.h"
#include "platform/text.h"

namespace rootix::platform {

QString CommandCall::argText() const {
  const qsizetype space = line_.indexOf(u' ');
  return space < 0 ? line_ : line_.mid(space);
}

QString CommandCall::trimmedArg() const { return text::trimSpaces(argText()); }

QString CommandCall::plainArg() const {
  const qsizetype space = line_.indexOf(u' ');
  return space < 0 ? QString() : line_.mid(space + 1);
}

double CommandCall::number() const { return num::readNumber(argText()); }
int16_t CommandCall::whole16() const { return num::toInt16(number()); }
int32_t CommandCall::whole32() const { return num::toInt32(number()); }

}  // namespace rootix::platform
