#include "gather.h"

#include <unistd.h>

#include <algorithm>

#include "cpuid_probe.h"
#include "hardware/codenames.h"
#include "kernel_probe.h"

namespace rootix::hwreport {
namespace {

CpuidSource cpuidSourceFor(const SystemTree& tree) {
  if (tree.isLiveSystem()) return {CpuidSource::Kind::Live, {}};
  std::string dump = tree.pathOf("/cpuid.raw");
  if (::access(dump.c_str(), R_OK) == 0) return {CpuidSource::Kind::DumpFile, std::move(dump)};
  return {};
}

// The kernel's cache folders count instances exactly; CPUID stands in only
// for what they do not show. CPUID often leaves the count open: L1 and L2
// then belong to each core, L3 to the whole package.
void takeCache(std::optional<CacheFacts>& kept, const std::optional<CacheFacts>& fromCpuid, int defaultInstances) {
  if (kept || !fromCpuid) return;
  kept = fromCpuid;
  if (kept->instances <= 0) kept->instances = std::max(1, defaultInstances);
}

// From our own table, on whatever the processor revealed; nothing when its
// identity is incomplete.
std::string codenameFor(const ProcessorFacts& cpu) {
  if (cpu.vendor.empty() || !cpu.family || !cpu.model || !cpu.stepping) return {};
  hardware::CpuSignature signature;
  signature.vendor = cpu.vendor;
  signature.family = *cpu.family;
  signature.model = *cpu.model;
  signature.stepping = *cpu.stepping;
  signature.features = cpu.features.value_or(0);
  signature.brand = cpu.brand;
  return hardware::codenameOf(signature);
}

}  // namespace

HardwareFacts gatherFacts(const SystemTree& tree) {
  HardwareFacts facts = probeKernel(tree);
  ProcessorFacts fromCpuid;
  if (!probeCpuid(cpuidSourceFor(tree), fromCpuid)) {
    facts.cpu.codename = codenameFor(facts.cpu);
    return facts;
  }

  ProcessorFacts& cpu = facts.cpu;
  if (!fromCpuid.vendor.empty()) cpu.vendor = fromCpuid.vendor;
  // The processor's own name string; the kernel may show a shortened one.
  if (!fromCpuid.brand.empty()) cpu.brand = fromCpuid.brand;
  if (fromCpuid.family) cpu.family = fromCpuid.family;
  if (fromCpuid.model) cpu.model = fromCpuid.model;
  if (fromCpuid.stepping) cpu.stepping = fromCpuid.stepping;
  if (fromCpuid.features) cpu.features = fromCpuid.features;
  cpu.codename = codenameFor(cpu);
  cpu.busMhz = fromCpuid.busMhz;
  const int cores = facts.packages.empty() ? 1 : facts.packages.front().cores;
  takeCache(cpu.l1d, fromCpuid.l1d, cores);
  takeCache(cpu.l1i, fromCpuid.l1i, cores);
  takeCache(cpu.l2, fromCpuid.l2, cores);
  takeCache(cpu.l3, fromCpuid.l3, 1);
  return facts;
}

}  // namespace rootix::hwreport
