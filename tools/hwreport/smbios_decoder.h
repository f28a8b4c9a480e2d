#pragma once

#include <string_view>

#include "hardware_facts.h"

namespace rootix::hwreport {

// Decodes the firmware's SMBIOS table as the kernel exposes it
// (/sys/firmware/dmi/tables/smbios_entry_point and DMI). Text fields already
// set in dmi are kept; the table only fills the gaps. Truncated or malformed
// tables give what could be read before the damage.
void decodeSmbios(std::string_view entryPoint, std::string_view table, DmiFacts& dmi);

// Name of an SMBIOS memory device type ("DDR4"); empty for "Other",
// "Unknown" and values the standard does not define.
std::string_view smbiosMemoryTypeName(int code);

}  // namespace rootix::hwreport
