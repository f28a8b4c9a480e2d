#pragma once

#include <QString>
#include <cstdint>
#include <map>
#include <vector>

namespace rootix::engine {

// One processor package as the processor report shows it.
struct ProcessorPackage {
  QString name;
  int32_t clockMHz = 0;  // current clock
  int64_t l2KB = 0;      // second-level cache of the whole package
};

// Where the processor list comes from. packages() returns every package in a
// stable order, or throws RuntimeError when the list or one of its properties
// cannot be read.
class ProcessorSource {
 public:
  virtual ~ProcessorSource() = default;
  virtual std::vector<ProcessorPackage> packages() = 0;
};

// The machine itself: hwloc for the packages (in its logical order) and their
// second-level caches; the name from hwloc's processor model or /proc/cpuinfo;
// the clock from cpufreq's scaling_cur_freq of the package's first processor,
// else /proc/cpuinfo. The two roots can point at a recorded tree.
class SystemProcessorSource : public ProcessorSource {
 public:
  explicit SystemProcessorSource(QString procRoot = QStringLiteral("/proc"), QString sysRoot = QStringLiteral("/sys"));
  std::vector<ProcessorPackage> packages() override;

 private:
  QString procRoot_;
  QString sysRoot_;
};

// What /proc/cpuinfo says about one logical processor.
struct CpuInfoEntry {
  QString modelName;
  double mhz = -1;      // -1: not given
  int physicalId = -1;  // -1: not given
};

// Decodes /proc/cpuinfo text: one entry per "processor" block, keyed by its number.
std::map<int, CpuInfoEntry> parseCpuInfo(const QString& text);

// Decodes a cpufreq frequency file (kHz) into whole MHz; -1 when it holds no number.
int32_t parseScalingFrequencyMHz(const QString& text);

}  // namespace rootix::engine
