#include "cpuid_probe.h"

#include <algorithm>

#include "hardware/codenames.h"

#include "text_values.h"

#ifdef ROOTIX_HWREPORT_HAVE_LIBCPUID
#include <libcpuid/libcpuid.h>
#endif

namespace rootix::hwreport {

#ifdef ROOTIX_HWREPORT_HAVE_LIBCPUID

namespace {

void quiet(const char*) {}

// libcpuid reports -1 or 0 for what it could not determine.
std::optional<CacheFacts> cacheOf(int32_t sizeKb, int32_t ways, int32_t line, int32_t instances) {
  if (sizeKb <= 0) return std::nullopt;
  CacheFacts cache;
  cache.sizeKb = sizeKb;
  cache.ways = std::max(0, ways);
  cache.lineBytes = std::max(0, line);
  cache.instances = instances > 0 ? instances : 0;  // 0: the caller decides
  return cache;
}

// The extensions that date a processor, straight from the CPUID bits (the
// processor's claim, whatever the operating system enables).
uint32_t featuresOf(const cpu_raw_data_t& raw) {
  using namespace rootix::hardware;
  const uint32_t maxLeaf = raw.basic_cpuid[0][EAX];
  const uint32_t leaf1Ecx = raw.basic_cpuid[1][ECX];
  uint32_t features = 0;
  if (leaf1Ecx & (1u << 20)) features |= kCpuSse42;
  if (leaf1Ecx & (1u << 28)) features |= kCpuAvx;
  if (maxLeaf >= 7) {
    const uint32_t leaf7Ebx = raw.basic_cpuid[7][EBX];
    const uint32_t leaf7Edx = raw.basic_cpuid[7][EDX];
    if (leaf7Ebx & (1u << 5)) features |= kCpuAvx2;
    if (leaf7Ebx & (1u << 16)) features |= kCpuAvx512F;
    if (leaf7Edx & (1u << 24)) features |= kCpuAmxTile;
  }
  return features;
}

}  // namespace

bool probeCpuid(const CpuidSource& source, ProcessorFacts& cpu) {
  if (source.kind == CpuidSource::Kind::None) return false;
  cpuid_set_warn_function(quiet);
  cpu_raw_data_t raw{};
  if (source.kind == CpuidSource::Kind::Live) {
    if (!cpuid_present() || cpuid_get_raw_data(&raw) != 0) return false;
  } else if (cpuid_deserialize_raw_data(&raw, source.dumpFile.c_str()) != 0) {
    return false;
  }
  cpu_id_t id{};
  if (cpu_identify(&raw, &id) != 0) return false;

  if (id.vendor_str[0] != '\0') cpu.vendor = id.vendor_str;
  if (const auto brand = trimmed(id.brand_str); !brand.empty()) cpu.brand = std::string(brand);
  cpu.family = id.ext_family;
  cpu.model = id.ext_model;
  cpu.stepping = id.stepping;
  cpu.features = featuresOf(raw);
  cpu.l1d = cacheOf(id.l1_data_cache, id.l1_data_assoc, id.l1_data_cacheline, id.l1_data_instances);
  cpu.l1i = cacheOf(id.l1_instruction_cache, id.l1_instruction_assoc, id.l1_instruction_cacheline,
                    id.l1_instruction_instances);
  cpu.l2 = cacheOf(id.l2_cache, id.l2_assoc, id.l2_cacheline, id.l2_instances);
  cpu.l3 = cacheOf(id.l3_cache, id.l3_assoc, id.l3_cacheline, id.l3_instances);
  // Leaf 16h (Intel): ECX[15:0] is the bus (reference) clock in MHz.
  const uint32_t maxLeaf = raw.basic_cpuid[0][EAX];
  if (cpu.vendor == "GenuineIntel" && maxLeaf >= 0x16 && 0x16 < MAX_CPUID_LEVEL) {
    const uint32_t bus = raw.basic_cpuid[0x16][ECX] & 0xFFFF;
    if (bus > 0) cpu.busMhz = bus;
  }
  return true;
}

#else

bool probeCpuid(const CpuidSource&, ProcessorFacts&) { return false; }

#endif

}  // namespace rootix::hwreport
