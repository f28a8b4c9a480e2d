#pragma once

#include <cstdio>
#include <optional>

namespace rootix::app {

// "--help" and "--version" as whole arguments: the text goes to `out` and the
// result is the status to exit with. Any other command line gives nullopt and
// is left to the normal start-up.
std::optional<int> handleInfoSwitches(int argc, char** argv, std::FILE* out = stdout);

const char* usageText();
const char* versionText();

}  // namespace rootix::app
