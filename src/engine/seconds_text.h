#pragma once

#include <QString>

#include "platform/numbers.h"

namespace rootix::engine {

// Seconds as the run's messages show them: rounded to 3 decimals, ties to
// even, no trailing zeros.
inline QString secondsText(double seconds) { return num::formatGeneral(num::roundDecimals(seconds, 3)); }

}  // namespace rootix::engine
