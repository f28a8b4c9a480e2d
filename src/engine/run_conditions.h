#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace rootix::engine {

// One kind of core of a hybrid processor, as hwloc ranks them.
struct CoreKind {
  int efficiency = -1;  // hwloc's rank, higher is faster; -1 unknown
  QString type;         // "IntelCore", "IntelAtom", ... where known
  int cores = 0;
};

// What does not change while the program runs.
struct MachineFacts {
  QString processor;  // the brand string
  QString vendor;
  int family = -1;
  int model = -1;
  int stepping = -1;
  QString microcode;
  QString flags;     // cpuinfo's flags line: the instruction sets
  QString codename;  // filled by whoever knows the table; empty: unknown
  int logicalCpus = 0;
  int cores = 0;
  bool smt = false;
  std::vector<CoreKind> coreKinds;  // empty unless the processor is hybrid
  std::optional<QString> hypervisor;
  double memoryMb = 0;
  QString kernelRelease;
};

// The busy-ness of the machine at one moment.
struct LoadSample {
  double load1 = -1;             // 1-minute load average; -1 unknown
  std::uint64_t stealTicks = 0;  // from the "cpu" line of /proc/stat
  std::uint64_t totalTicks = 0;
};

// The conditions of one run: the facts, and what was read before, during
// and after it.
struct RunConditions {
  MachineFacts machine;
  std::optional<QString> governor;
  double mhzMin = 0;
  double mhzAvg = 0;
  double mhzMax = 0;
  int mhzSamples = 0;
  double loadBefore = -1;
  double stealPercent = 0;

  void addClock(double mhz);
};

// Reads the conditions from a file system tree: "/" for the running
// system, a recorded tree in tests. Missing files give unknown values.
class ConditionSource {
 public:
  explicit ConditionSource(QString root = QStringLiteral("/"));

  // /proc/cpuinfo, /proc/meminfo, the kernel and hwloc's topology (of the
  // running system only); slow enough to be read once.
  MachineFacts machine() const;
  std::optional<QString> governor() const;
  // The mean current clock of the logical processors in MHz; 0 unknown.
  double clockMhz() const;
  LoadSample load() const;

 private:
  QString text(const QString& relative) const;
  QString root_;  // ends in "/"
};

// The decoding, apart from the reading.
void parseCpuInfoFacts(const QString& cpuinfo, MachineFacts& facts);
double parseMemTotalMb(const QString& meminfo);
LoadSample parseLoad(const QString& loadavg, const QString& stat);
// Steal time between two samples in percent of all time; 0 when unknown.
double stealPercent(const LoadSample& before, const LoadSample& after);
// The hypervisor's name from the processor's "hypervisor" flag and the
// signature its cpuid leaf 0x40000000 gives; nullopt on bare metal.
std::optional<QString> hypervisorName(bool flagged, const QByteArray& signature);
// The signature of cpuid leaf 0x40000000 (12 bytes), empty off x86.
QByteArray hypervisorSignature();

}  // namespace rootix::engine
