#pragma once

#include <QStringView>

namespace rootix::scores {

// A text converted as a whole into a number: one number, optionally with
// spaces or tabs around it, in the syntax the number reader accepts (sign,
// digits, one ".", E or D exponent; "&H" / "&O" whole numbers). Anything
// else, the empty text included, is kTypeMismatch; a number beyond double is
// kOverflow. Unlike reading a leading number, "3000 MHz" is refused.
double convertNumber(QStringView text);

}  // namespace rootix::scores
