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

// What the CPUID instruction tells, decoded by libcpuid (the codename is
// not taken from it: see hardware/codenames.h). Fields the processor does
// not report stay empty. False when nothing could be read
// (no source, no libcpuid in this build, or an unreadable dump).
bool probeCpuid(const CpuidSource& source, ProcessorFacts& cpu);

}  // namespace rootix::hwreport
