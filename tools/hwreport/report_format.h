#pragma once

#include <string>
#include <string_view>

#include "hardware_facts.h"

namespace rootix::hwreport {

// The report text: single-byte (Latin-1) characters, CR LF after every
// line, a title line over a line of dashes per section, item lines of tab,
// name, tabs, value. Items the facts do not hold are left out. The last line
// is "DMI System Enclosure", after which readers stop, so everything they
// need comes before it.
std::string formatReport(const HardwareFacts& facts);

// A value made safe for one report line: UTF-8 turned into Latin-1 ('?' for
// characters beyond it, bytes that are not UTF-8 taken as Latin-1), control
// characters (tabs and line breaks among them) turned into spaces, outer
// spaces removed.
std::string singleByteValue(std::string_view text);

}  // namespace rootix::hwreport
