#include "scores/number_conversion.h"

#include <QRegularExpression>

#include "platform/numbers.h"
#include "platform/runtime_error.h"

namespace rootix::scores {

double convertNumber(QStringView text) {
  static const QRegularExpression whole(QStringLiteral(
      R"(^[ \t]*(?:[+-]?(?:\d+\.?\d*|\.\d+)(?:[EeDd][+-]?\d+)?|&[Hh][0-9A-Fa-f]+|&[Oo][0-7]+)[ \t]*$)"));
  if (!whole.match(text).hasMatch()) throw RuntimeError(kTypeMismatch);
  return num::readNumber(text);
}

}  // namespace rootix::scores
