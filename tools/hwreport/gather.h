#pragma once

#include "hardware_facts.h"
#include "system_tree.h"

namespace rootix::hwreport {

// All facts about the machine below the tree's root. On the live system the
// processor is asked directly (CPUID); for a recorded tree the CPUID facts
// come from the dump "cpuid.raw" at the tree's root, if there is one, so a
// recorded machine is replayed whole and never mixed with the real one.
HardwareFacts gatherFacts(const SystemTree& tree);

}  // namespace rootix::hwreport
