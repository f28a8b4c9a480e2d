#pragma once

// Processor codenames from our own table of documented facts: Intel family 6
// by model (and stepping or processor number where one model covers several
// generations), AMD families 17h, 19h and 1Ah by model. Plain C++ so the
// statically linked report tool can use it as well as the program.

#include <cstdint>
#include <string>
#include <string_view>

namespace rootix::hardware {

// Instruction-set extensions that date a processor: no generation has one
// introduced after it, so one present on an older model number means a
// hypervisor reports a model that is not the real processor.
enum CpuFeature : std::uint32_t {
  kCpuSse42 = 1u << 0,
  kCpuAvx = 1u << 1,
  kCpuAvx2 = 1u << 2,
  kCpuAvx512F = 1u << 3,
  kCpuAmxTile = 1u << 4,
};

struct CpuSignature {
  std::string vendor;  // CPUID vendor text: "GenuineIntel", "AuthenticAMD"
  int family = 0;      // displayed family: base + extended (0x19 for Zen 3)
  int model = 0;       // displayed model: extended model << 4 | model
  int stepping = 0;
  std::uint32_t features = 0;  // CpuFeature bits the processor reports
  // The processor's own name text (optional). Read only where one model and
  // stepping are sold under several codenames, told apart by the processor
  // number (e.g. "i7-8565U" and "i7-10510U").
  std::string brand;
};

// The codename, or the empty text when the table does not know the
// processor or its features contradict its model number. Never a guess.
std::string codenameOf(const CpuSignature& cpu);

// The CpuFeature bits named in a Linux /proc/cpuinfo "flags" line.
std::uint32_t cpuFeaturesFromFlags(std::string_view flags);

}  // namespace rootix::hardware
