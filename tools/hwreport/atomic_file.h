#pragma once

#include <string>
#include <string_view>

namespace rootix::hwreport {

// Writes bytes to a new temporary file in the target's folder and renames
// it into place, so whoever waits for the file to appear never reads half
// of it. On failure nothing is left behind and the reason is returned;
// an empty result means success.
std::string writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace rootix::hwreport
