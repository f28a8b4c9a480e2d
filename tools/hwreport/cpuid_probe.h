#pragma once

#include <string>

#include "hardware_facts.h"

namespace rootix::hwreport {

// Where the CPUID facts come from: the processor the tool runs on, a dump
// recorded with libcpuid's cpuid_serialize_raw_data (tests), or nowhere.
struct CpuidSource {
  enum class Kind { Live, DumpFile, None };
  Kind kind = Kind::None;
  std::string dumpFile;
};

// What the CPUID instruction tells, decoded by libcpuid. Fields the
// processor does not report stay empty. False when nothing could be read
// (no source, no libcpuid in this build, or an unreadable dump).
bool probeCpuid(const CpuidSource& source, ProcessorFacts& cpu);

// Whether the linked libcpuid release knows this processor generation, so
// that its codename is a real match and not the nearest older entry.
bool codenameIsTrustworthy(std::string_view vendor, int family, int model, std::string_view codename);

}  // namespace rootix::hwreport
