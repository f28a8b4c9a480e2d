#include "report_format.h"

#include <cmath>
#include <cstdio>

namespace rootix::hwreport {
namespace {

constexpr std::string_view kDashes = "-------------------------------------------------------------------------";
// Values start at this column (tab stops every 8 columns), as in the
// reports this layout follows.
constexpr std::size_t kValueColumn = 32;

// Fixed-point text with at most `decimals` decimals; trailing zeros are kept
// only when `keepZeros` (clock values are printed like "4449.0 MHz").
std::string number(double value, int decimals, bool keepZeros = true) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text(buffer);
  if (!keepZeros && text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

std::string hex(int64_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value));
  return buffer;
}

class ReportText {
 public:
  void line(std::string_view text = {}) {
    out_ += text;
    out_ += "\r\n";
  }
  void section(std::string_view title) {
    line(title);
    line(kDashes);
    line();
  }
  // Block titles inside a section end in two tabs, as items with no value.
  void block(std::string_view title) {
    std::string text(title);
    text += "\t\t";
    line(text);
  }
  void item(std::string_view name, std::string_view value, bool indented) {
    const std::string safe = singleByteValue(value);
    if (safe.empty()) return;
    std::string text = indented ? "\t" : "";
    text += name;
    std::size_t column = (indented ? 8 : 0) + name.size();
    do {
      text += '\t';
      column = (column / 8 + 1) * 8;
    } while (column < kValueColumn);
    text += safe;
    line(text);
  }
  const std::string& text() const { return out_; }

 private:
  std::string out_;
};

// "2 x 48 KBytes, 12-way set associative, 64-byte line size".
std::string cacheDetails(const CacheFacts& cache) {
  std::string text;
  if (cache.ways > 0) text += ", " + std::to_string(cache.ways) + "-way set associative";
  if (cache.lineBytes > 0) text += ", " + std::to_string(cache.lineBytes) + "-byte line size";
  return text;
}

std::string level1Text(const CacheFacts& cache) {
  std::string text;
  if (cache.instances > 1) text = std::to_string(cache.instances) + " x ";
  return text + std::to_string(cache.sizeKb) + " KBytes" + cacheDetails(cache);
}

// Readers take the leading number of the L2 line as KB and of the L3 line as
// MB, and misread a per-core form whose count has two digits, so both lines
// start with the total and give the per-instance split in brackets.
std::string level2Text(const CacheFacts& cache) {
  std::string text = std::to_string(cache.sizeKb * cache.instances) + " KBytes";
  if (cache.instances > 1) {
    text += " (" + std::to_string(cache.instances) + " x " + std::to_string(cache.sizeKb) + " KBytes)";
  }
  return text + cacheDetails(cache);
}

std::string level3Text(const CacheFacts& cache) {
  auto mb = [](int64_t kb) { return number(static_cast<double>(kb) / 1024.0, 3, false); };
  std::string text = mb(cache.sizeKb * cache.instances) + " MBytes";
  if (cache.instances > 1) {
    text += " (" + std::to_string(cache.instances) + " x " + mb(cache.sizeKb) + " MBytes)";
  }
  return text + cacheDetails(cache);
}

std::string mhz(std::optional<double> value) {
  return value && *value > 0 ? number(*value, 1) + " MHz" : std::string{};
}

void processorBlock(ReportText& report, const HardwareFacts& facts, const PackageFacts* package, int socketNumber) {
  const ProcessorFacts& cpu = facts.cpu;
  report.item("Socket " + std::to_string(socketNumber), "ID = " + std::to_string(package ? package->id : 0), false);
  if (package && package->cores > 0) report.item("Number of cores", std::to_string(package->cores), true);
  if (package && package->threads > 0) {
    report.item("Number of threads", std::to_string(package->threads), true);
  }
  report.item("Manufacturer", cpu.vendor, true);
  report.item("Codename", cpu.codename, true);
  report.item("Specification", cpu.brand, true);
  if (cpu.family && cpu.model && cpu.stepping) {
    const int baseFamily = *cpu.family >= 15 ? 15 : *cpu.family;
    report.item("CPUID", hex(baseFamily) + "." + hex(*cpu.model & 0xF) + "." + hex(*cpu.stepping), true);
    report.item("Extended CPUID", hex(*cpu.family) + "." + hex(*cpu.model), true);
  }
  if (cpu.stepping) report.item("Core Stepping", hex(*cpu.stepping), true);
  const std::vector<double> noClocks;
  const std::vector<double>& clocks = package ? package->coreMhz : noClocks;
  if (!clocks.empty()) report.item("Core Speed", mhz(clocks.front()), true);
  if (!clocks.empty() && cpu.busMhz && *cpu.busMhz > 0) {
    report.item("Multiplier x Bus Speed", number(clocks.front() / *cpu.busMhz, 1) + " x " + mhz(cpu.busMhz), true);
  }
  std::string sets;
  for (const auto& name : cpu.instructionSets) sets += (sets.empty() ? "" : ", ") + name;
  report.item("Instructions sets", sets, true);
  if (cpu.microcode) report.item("Microcode Revision", "0x" + hex(*cpu.microcode), true);
  if (cpu.l1d) report.item("L1 Data cache", level1Text(*cpu.l1d), true);
  if (cpu.l1i) report.item("L1 Instruction cache", level1Text(*cpu.l1i), true);
  if (cpu.l2) report.item("L2 cache", level2Text(*cpu.l2), true);
  if (cpu.l3) report.item("L3 cache", level3Text(*cpu.l3), true);
  for (std::size_t core = 0; core < clocks.size(); ++core) {
    report.item("Clock Speed " + std::to_string(core),
                number(clocks[core], 2) + " MHz (Core #" + std::to_string(core) + ")", true);
  }
}

std::string gigabytes(double gb) { return number(gb, 3, false) + " GBytes"; }

void dmiSection(ReportText& report, const DmiFacts& dmi) {
  report.section("DMI");
  if (!dmi.smbiosVersion.empty()) {
    report.item("SMBIOS Version", dmi.smbiosVersion, false);
    report.line();
  }
  if (!dmi.systemVendor.empty() || !dmi.productName.empty()) {
    report.block("DMI System Information");
    report.item("manufacturer", dmi.systemVendor, true);
    report.item("product", dmi.productName, true);
    report.item("version", dmi.productVersion, true);
    report.line();
  }
  if (!dmi.processorManufacturer.empty() || !dmi.processorVersion.empty() || dmi.processorCurrentMhz ||
      dmi.processorExternalMhz || dmi.processorMaxMhz) {
    report.block("DMI Processor");
    report.item("manufacturer", dmi.processorManufacturer, true);
    report.item("model", dmi.processorVersion, true);
    report.item("clock speed", mhz(dmi.processorCurrentMhz), true);
    report.item("FSB speed", mhz(dmi.processorExternalMhz), true);
    report.item("max clock speed", mhz(dmi.processorMaxMhz), true);
    report.line();
  }
  for (const auto& device : dmi.memoryDevices) {
    report.block("DMI Memory Device");
    report.item("designation", device.locator, true);
    report.item("type", device.type, true);
    report.item("size",
                device.sizeMb % 1024 == 0 ? std::to_string(device.sizeMb / 1024) + " GBytes"
                                          : std::to_string(device.sizeMb) + " MBytes",
                true);
    if (device.speedMts > 0) report.item("speed", std::to_string(device.speedMts) + " MT/s", true);
    report.item("manufacturer", device.manufacturer, true);
    report.item("part number", device.partNumber, true);
    report.line();
  }
  // Readers take the last "vendor" and "product" of the section as the
  // mainboard's, so the baseboard comes last; the system's maker and name
  // stand in where the firmware leaves the board's empty.
  const std::string& vendor = !dmi.boardVendor.empty() ? dmi.boardVendor : dmi.systemVendor;
  const std::string& product = !dmi.boardName.empty() ? dmi.boardName : dmi.productName;
  if (!singleByteValue(vendor).empty() || !singleByteValue(product).empty()) {
    report.block("DMI Baseboard");
    report.item("vendor", vendor, true);
    report.item("product", product, true);
    report.item("revision", dmi.boardVersion, true);
    report.line();
  }
}

// Appends code point c as one Latin-1 byte.
void appendLatin1(std::string& out, uint32_t c) {
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
    out += ' ';
  } else if (c <= 0xFF) {
    out += static_cast<char>(c);
  } else {
    out += '?';
  }
}

}  // namespace

std::string singleByteValue(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    int length = lead < 0x80             ? 1
                 : (lead & 0xE0) == 0xC0 ? 2
                 : (lead & 0xF0) == 0xE0 ? 3
                 : (lead & 0xF8) == 0xF0 ? 4
                                         : 0;
    uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<uint8_t>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) valid = false;
      code = code << 6 | (next & 0x3F);
    }
    // Overlong forms would smuggle control characters past the check below.
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && length > 1 && code < kSmallest[length]) valid = false;
    if (valid) {
      appendLatin1(out, code);
      i += static_cast<std::size_t>(length);
    } else {
      appendLatin1(out, lead);  // not UTF-8: firmware text is often Latin-1 already
      ++i;
    }
  }
  const auto first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string formatReport(const HardwareFacts& facts) {
  ReportText report;
  report.section("Rootix hardware report");

  report.section("Processors");
  if (!facts.packages.empty()) report.item("Number of sockets", std::to_string(facts.packages.size()), false);
  if (facts.totalThreads > 0) report.item("Number of threads", std::to_string(facts.totalThreads), false);
  report.line();

  report.section("Timers");
  report.item("BCLK timer", mhz(facts.cpu.busMhz), true);
  report.line();
  report.line();

  report.section("Processors Information");
  if (facts.packages.empty()) {
    processorBlock(report, facts, nullptr, 1);
    report.line();
  }
  for (std::size_t i = 0; i < facts.packages.size(); ++i) {
    processorBlock(report, facts, &facts.packages[i], static_cast<int>(i) + 1);
    report.line();
  }
  report.line();

  const MemoryFacts& memory = facts.memory;
  report.section("Chipset");
  report.item("Memory Type", memory.type, false);
  if (memory.sizeGb && *memory.sizeGb > 0) report.item("Memory Size", gigabytes(*memory.sizeGb), false);
  report.item("Memory Frequency", mhz(memory.clockMhz), false);
  auto timing = [&](std::string_view name, std::optional<double> value) {
    if (value && *value > 0) report.item(name, number(*value, 1, false), false);
  };
  timing("CAS# latency (CL)", memory.casLatency);
  timing("RAS# to CAS# delay (tRCD)", memory.rasToCas);
  timing("RAS# Precharge (tRP)", memory.rasPrecharge);
  timing("Cycle Time (tRAS)", memory.cycleTime);
  // Readers take this item for the memory clock; the memory controller runs
  // in step with the memory, so the same clock is given here.
  report.item("Uncore Frequency", mhz(memory.clockMhz), false);
  report.line();
  report.line();

  // Everything up to the line "DMI" is skipped by readers: only for people.
  report.section("Monitoring");
  report.item("Mainboard Model", facts.dmi.boardName, false);
  report.line();

  dmiSection(report, facts.dmi);
  report.line("DMI System Enclosure");
  return report.text();
}

}  // namespace rootix::hwreport
