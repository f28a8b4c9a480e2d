#include "kernel_probe.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "hardware/codenames.h"
#include "smbios_decoder.h"
#include "text_values.h"

namespace rootix::hwreport {
namespace {

using Block = std::map<std::string, std::string, std::less<>>;

// "key : value" lines in blocks separated by empty lines: one block per
// logical processor in /proc/cpuinfo, a single block in /proc/meminfo.
std::vector<Block> parseKeyValueBlocks(std::string_view text) {
  std::vector<Block> blocks(1);
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) {
      if (trimmed(line).empty() && !blocks.back().empty()) blocks.emplace_back();
      continue;
    }
    blocks.back().emplace(std::string(trimmed(line.substr(0, colon))), std::string(trimmed(line.substr(colon + 1))));
  }
  if (blocks.back().empty()) blocks.pop_back();
  return blocks;
}

std::string valueOf(const Block& block, std::string_view key) {
  const auto it = block.find(key);
  return it == block.end() ? std::string{} : it->second;
}

const Block* blockOfCpu(const std::vector<Block>& blocks, int cpu) {
  for (const auto& block : blocks) {
    if (parseInteger(valueOf(block, "processor")) == cpu) return &block;
  }
  return nullptr;
}

// Flags from /proc/cpuinfo, under the names processor makers print.
std::vector<std::string> instructionSets(std::string_view flags) {
  static constexpr std::pair<std::string_view, std::string_view> kKnown[] = {
      {"mmx", "MMX"},       {"sse", "SSE"},       {"sse2", "SSE2"},   {"pni", "SSE3"},  {"ssse3", "SSSE3"},
      {"sse4_1", "SSE4.1"}, {"sse4_2", "SSE4.2"}, {"sse4a", "SSE4A"}, {"lm", "x86-64"}, {"vmx", "VT-x"},
      {"svm", "AMD-V"},     {"aes", "AES"},       {"avx", "AVX"},     {"avx2", "AVX2"}, {"avx512f", "AVX512F"},
      {"fma", "FMA3"},      {"sha_ni", "SHA"}};
  std::set<std::string_view, std::less<>> present;
  while (!flags.empty()) {
    const auto space = flags.find_first_of(" \t");
    const auto word = flags.substr(0, space);
    if (!word.empty()) present.insert(word);
    flags = space == std::string_view::npos ? std::string_view{} : flags.substr(space + 1);
  }
  std::vector<std::string> names;
  for (const auto& [flag, name] : kKnown) {
    if (present.contains(flag)) names.emplace_back(name);
  }
  return names;
}

struct LogicalCpu {
  int number = 0;
  int package = 0;
  std::string coreKey;  // the same for every thread of one core
  std::optional<double> mhz;
};

std::string cpuFolder(int cpu) { return "/sys/devices/system/cpu/cpu" + std::to_string(cpu); }

std::vector<LogicalCpu> logicalCpus(const SystemTree& tree, const std::vector<Block>& cpuinfo) {
  std::vector<int> numbers;
  if (const auto online = parseCpuList(tree.readValue("/sys/devices/system/cpu/online")); online && !online->empty()) {
    numbers = *online;
  } else {
    for (const auto& block : cpuinfo) {
      if (const auto n = parseInteger(valueOf(block, "processor")); n && *n >= 0 && *n < 65536) {
        numbers.push_back(static_cast<int>(*n));
      }
    }
  }
  std::vector<LogicalCpu> cpus;
  for (const int number : numbers) {
    const std::string topology = cpuFolder(number) + "/topology/";
    const Block* info = blockOfCpu(cpuinfo, number);
    LogicalCpu cpu;
    cpu.number = number;
    if (const auto id = parseInteger(tree.readValue(topology + "physical_package_id"))) {
      cpu.package = static_cast<int>(*id);
    } else if (info) {
      cpu.package = static_cast<int>(parseInteger(valueOf(*info, "physical id")).value_or(0));
    }
    // core_id repeats across dies on some processors; the list of a core's
    // threads does not.
    cpu.coreKey = tree.readValue(topology + "core_cpus_list");
    if (cpu.coreKey.empty()) cpu.coreKey = tree.readValue(topology + "thread_siblings_list");
    if (cpu.coreKey.empty()) {
      const std::string core = tree.readValue(topology + "core_id");
      if (!core.empty()) cpu.coreKey = tree.readValue(topology + "die_id") + ":" + core;
    }
    if (cpu.coreKey.empty() && info && !valueOf(*info, "core id").empty()) {
      cpu.coreKey = "core " + valueOf(*info, "core id");
    }
    if (cpu.coreKey.empty()) cpu.coreKey = "cpu " + std::to_string(number);
    if (const auto khz = parseReal(tree.readValue(cpuFolder(number) + "/cpufreq/scaling_cur_freq")); khz && *khz > 0) {
      cpu.mhz = *khz / 1000.0;
    } else if (info) {
      if (const auto mhz = parseReal(valueOf(*info, "cpu MHz")); mhz && *mhz > 0) cpu.mhz = mhz;
    }
    cpus.push_back(std::move(cpu));
  }
  return cpus;
}

std::vector<PackageFacts> packagesOf(const std::vector<LogicalCpu>& cpus) {
  std::map<int, std::vector<const LogicalCpu*>> byPackage;
  for (const auto& cpu : cpus) byPackage[cpu.package].push_back(&cpu);
  std::vector<PackageFacts> packages;
  for (const auto& [id, members] : byPackage) {
    PackageFacts package;
    package.id = id;
    package.threads = static_cast<int>(members.size());
    // Cores in the order of their first thread; the first thread's clock
    // stands for the core.
    std::set<std::string> seen;
    std::vector<const LogicalCpu*> sorted = members;
    std::sort(sorted.begin(), sorted.end(),
              [](const LogicalCpu* a, const LogicalCpu* b) { return a->number < b->number; });
    bool allClocks = true;
    for (const LogicalCpu* cpu : sorted) {
      if (!seen.insert(cpu->coreKey).second) continue;
      if (cpu->mhz) {
        package.coreMhz.push_back(*cpu->mhz);
      } else {
        allClocks = false;
      }
    }
    if (!allClocks) package.coreMhz.clear();  // numbering would no longer match the cores
    package.cores = static_cast<int>(seen.size());
    packages.push_back(std::move(package));
  }
  return packages;
}

// Cache facts from /sys/devices/system/cpu/cpuN/cache/indexK, instances
// counted over the threads of the first package.
void probeCaches(const SystemTree& tree, const std::vector<LogicalCpu>& cpus, ProcessorFacts& cpu) {
  if (cpus.empty()) return;
  const int first = cpus.front().number;
  const std::string base = cpuFolder(first) + "/cache/";
  for (const auto& index : tree.list(base)) {
    if (!index.starts_with("index")) continue;
    const std::string folder = base + index + "/";
    const auto level = parseInteger(tree.readValue(folder + "level"));
    const std::string type = tree.readValue(folder + "type");
    const auto size = parseSizeKb(tree.readValue(folder + "size"));
    if (!level || !size) continue;
    CacheFacts cache;
    cache.sizeKb = *size;
    cache.ways = static_cast<int>(parseInteger(tree.readValue(folder + "ways_of_associativity")).value_or(0));
    cache.lineBytes = static_cast<int>(parseInteger(tree.readValue(folder + "coherency_line_size")).value_or(0));
    std::set<std::string> sharing;
    for (const auto& other : cpus) {
      if (other.package != cpus.front().package) continue;
      const std::string shared = tree.readValue(cpuFolder(other.number) + "/cache/" + index + "/shared_cpu_list");
      sharing.insert(shared.empty() ? std::to_string(other.number) : shared);
    }
    cache.instances = std::max<int>(1, static_cast<int>(sharing.size()));
    std::optional<CacheFacts>* slot = nullptr;
    if (*level == 1 && type == "Data") slot = &cpu.l1d;
    if (*level == 1 && type == "Instruction") slot = &cpu.l1i;
    if (*level == 2 && type != "Instruction") slot = &cpu.l2;
    if (*level == 3 && type != "Instruction") slot = &cpu.l3;
    if (slot && !*slot) *slot = cache;
  }
}

// Installed memory: the kernel's memory blocks cover what the firmware
// handed over, which is closer to the modules' size than MemTotal (that
// leaves out what the kernel keeps for itself).
std::optional<double> memoryGb(const SystemTree& tree) {
  const auto blockBytes = parseInteger(tree.readValue("/sys/devices/system/memory/block_size_bytes"), 16);
  if (blockBytes && *blockBytes > 0) {
    int64_t blocks = 0;
    for (const auto& name : tree.list("/sys/devices/system/memory")) {
      if (name.starts_with("memory") && parseInteger(std::string_view(name).substr(6))) ++blocks;
    }
    if (blocks > 0) return static_cast<double>(blocks) * static_cast<double>(*blockBytes) / (1024.0 * 1024 * 1024);
  }
  if (const auto meminfo = tree.read("/proc/meminfo")) {
    for (const auto& block : parseKeyValueBlocks(*meminfo)) {
      std::string total = valueOf(block, "MemTotal");
      if (total.ends_with("kB")) total.resize(total.size() - 2);
      if (const auto kb = parseInteger(total); kb && *kb > 0) {
        return static_cast<double>(*kb) / (1024.0 * 1024);
      }
    }
  }
  return std::nullopt;
}

void probeDmi(const SystemTree& tree, DmiFacts& dmi) {
  const std::string id = "/sys/class/dmi/id/";
  dmi.biosVendor = tree.readValue(id + "bios_vendor");
  dmi.biosVersion = tree.readValue(id + "bios_version");
  dmi.biosDate = tree.readValue(id + "bios_date");
  dmi.systemVendor = tree.readValue(id + "sys_vendor");
  dmi.productName = tree.readValue(id + "product_name");
  dmi.productVersion = tree.readValue(id + "product_version");
  dmi.boardVendor = tree.readValue(id + "board_vendor");
  dmi.boardName = tree.readValue(id + "board_name");
  dmi.boardVersion = tree.readValue(id + "board_version");
  // The raw table is readable by root only on most systems; without it the
  // processor and memory device entries stay unknown.
  const auto table = tree.read("/sys/firmware/dmi/tables/DMI", 4 << 20);
  if (!table) return;
  const auto entry = tree.read("/sys/firmware/dmi/tables/smbios_entry_point", 4096);
  decodeSmbios(entry.value_or(std::string{}), *table, dmi);
}

bool isDoubleDataRate(std::string_view type) {
  return type.starts_with("DDR") || type.starts_with("LPDDR") || type.starts_with("HBM");
}

void memoryFromDmi(const DmiFacts& dmi, MemoryFacts& memory) {
  int64_t totalMb = 0;
  for (const auto& device : dmi.memoryDevices) {
    totalMb += device.sizeMb;
    if (memory.type.empty()) memory.type = device.type;
    if (!memory.clockMhz && device.speedMts > 0 && isDoubleDataRate(device.type)) {
      memory.clockMhz = device.speedMts / 2.0;
    }
  }
  if (totalMb > 0) memory.sizeGb = static_cast<double>(totalMb) / 1024.0;
}

}  // namespace

HardwareFacts probeKernel(const SystemTree& tree) {
  HardwareFacts facts;
  const auto cpuinfoText = tree.read("/proc/cpuinfo", 16 << 20);
  const auto cpuinfo = cpuinfoText ? parseKeyValueBlocks(*cpuinfoText) : std::vector<Block>{};
  if (!cpuinfo.empty()) {
    const Block& first = cpuinfo.front();
    facts.cpu.vendor = valueOf(first, "vendor_id");
    facts.cpu.brand = valueOf(first, "model name");
    if (const auto v = parseInteger(valueOf(first, "cpu family"))) facts.cpu.family = static_cast<int>(*v);
    if (const auto v = parseInteger(valueOf(first, "model"))) facts.cpu.model = static_cast<int>(*v);
    if (const auto v = parseInteger(valueOf(first, "stepping"))) facts.cpu.stepping = static_cast<int>(*v);
    facts.cpu.microcode = parseInteger(valueOf(first, "microcode"), 16);
    facts.cpu.instructionSets = instructionSets(valueOf(first, "flags"));
    if (first.contains("flags")) facts.cpu.features = hardware::cpuFeaturesFromFlags(valueOf(first, "flags"));
  }
  const auto cpus = logicalCpus(tree, cpuinfo);
  facts.totalThreads = static_cast<int>(cpus.size());
  facts.packages = packagesOf(cpus);
  probeCaches(tree, cpus, facts.cpu);
  probeDmi(tree, facts.dmi);
  memoryFromDmi(facts.dmi, facts.memory);
  if (!facts.memory.sizeGb) facts.memory.sizeGb = memoryGb(tree);
  return facts;
}

}  // namespace rootix::hwreport
