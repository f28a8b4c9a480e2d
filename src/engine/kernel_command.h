#pragma once

#include "platform/command_table.h"

namespace rootix::engine {

// "kernel": prints the range kernel the workers use and the ones this processor runs;
// "kernel <name>" forces one (so that machines can be compared on the same method),
// "kernel auto" returns to the timed choice.
void registerKernelCommand(platform::CommandTable& commands, const platform::LinePrinter& print);

}  // namespace rootix::engine
