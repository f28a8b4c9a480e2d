#pragma once

#include "platform/command_table.h"

namespace rootix::engine {

class KernelChoice;

// "kernel": prints the range kernel the workers use and the ones this processor runs;
// "kernel <name>" forces one (so that machines can be compared on the same method),
// "kernel auto" returns to the timed choice. The choice must outlive the command table.
void registerKernelCommand(platform::CommandTable& commands, const platform::LinePrinter& print, KernelChoice& kernels);

}  // namespace rootix::engine
