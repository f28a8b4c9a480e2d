#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the report tool learned about the machine, before any formatting.
// Every field is optional: what the machine does not reveal stays empty and
// is left out of the report rather than guessed.
namespace rootix::hwreport {

struct CacheFacts {
  int64_t sizeKb = 0;  // one instance
  int instances = 1;   // per processor package
  int ways = 0;        // 0 = unknown
  int lineBytes = 0;   // 0 = unknown
};

struct PackageFacts {
  int id = 0;
  int cores = 0;
  int threads = 0;
  std::vector<double> coreMhz;  // current clock of each core, by core order
};

struct ProcessorFacts {
  std::string vendor;  // "GenuineIntel", "AuthenticAMD"
  std::string brand;   // the processor's own name string
  std::string codename;
  std::optional<int> family;  // displayed (combined) family and model
  std::optional<int> model;
  std::optional<int> stepping;
  std::optional<int64_t> microcode;
  std::vector<std::string> instructionSets;
  std::optional<uint32_t> features;  // hardware::CpuFeature bits
  std::optional<CacheFacts> l1d, l1i, l2, l3;
  std::optional<double> busMhz;  // reference (bus) clock
};

struct MemoryDeviceFacts {
  std::string locator;
  std::string type;
  int64_t sizeMb = 0;
  int speedMts = 0;  // 0 = unknown
  std::string manufacturer;
  std::string partNumber;
};

struct MemoryFacts {
  std::optional<double> sizeGb;
  std::string type;
  std::optional<double> clockMhz;  // DRAM clock, half the transfer rate for DDR
  std::optional<double> casLatency, rasToCas, rasPrecharge, cycleTime;
};

struct DmiFacts {
  std::string smbiosVersion;
  std::string biosVendor, biosVersion, biosDate;
  std::string systemVendor, productName, productVersion;
  std::string boardVendor, boardName, boardVersion;
  std::string processorManufacturer, processorVersion;
  std::optional<double> processorCurrentMhz, processorMaxMhz, processorExternalMhz;
  std::vector<MemoryDeviceFacts> memoryDevices;
};

struct HardwareFacts {
  ProcessorFacts cpu;
  std::vector<PackageFacts> packages;  // ordered by package id
  int totalThreads = 0;
  MemoryFacts memory;
  DmiFacts dmi;
};

}  // namespace rootix::hwreport
