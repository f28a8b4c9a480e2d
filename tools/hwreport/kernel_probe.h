#pragma once

#include "hardware_facts.h"
#include "system_tree.h"

namespace rootix::hwreport {

// Facts the Linux kernel reveals to an ordinary user: /proc/cpuinfo,
// /proc/meminfo, the processor, cache and memory folders under
// /sys/devices/system, /sys/class/dmi/id, and the raw SMBIOS table when the
// process may read it.
HardwareFacts probeKernel(const SystemTree& tree);

}  // namespace rootix::hwreport
