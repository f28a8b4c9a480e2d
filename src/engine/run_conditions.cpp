#include "engine/run_conditions.h"

#include <hwloc.h>
#include <sys/utsname.h>

#include <QDir>
#include <algorithm>
#include <cmath>
#include <memory>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/files.h"
#include "platform/runtime_error.h"

namespace rootix::engine {
namespace {

// /proc and /sys files are small; anything larger is not what we look for.
constexpr std::int64_t kMaxFileBytes = std::int64_t{4} << 20;

int parseNumber(const QString& value, int base = 10) {
  bool ok = false;
  const int n = value.toInt(&ok, base);
  return ok ? n : -1;
}

struct TopologyDeleter {
  void operator()(hwloc_topology* t) const { hwloc_topology_destroy(t); }
};

void readTopology(MachineFacts& facts) {
  hwloc_topology_t raw = nullptr;
  if (hwloc_topology_init(&raw) != 0) return;
  const std::unique_ptr<hwloc_topology, TopologyDeleter> topo(raw);
  if (hwloc_topology_load(raw) != 0) return;
  facts.logicalCpus = std::max(0, hwloc_get_nbobjs_by_type(raw, HWLOC_OBJ_PU));
  facts.cores = std::max(0, hwloc_get_nbobjs_by_type(raw, HWLOC_OBJ_CORE));
  facts.smt = facts.cores > 0 && facts.logicalCpus > facts.cores;
  const int kinds = hwloc_cpukinds_get_nr(raw, 0);
  // One kind is no hybrid: nothing to tell apart.
  if (kinds < 2) return;
  hwloc_bitmap_t set = hwloc_bitmap_alloc();
  for (int i = 0; i < kinds; ++i) {
    int efficiency = -1;
    unsigned infoCount = 0;
    hwloc_info_s* infos = nullptr;
    if (hwloc_cpukinds_get_info(raw, static_cast<unsigned>(i), set, &efficiency, &infoCount, &infos, 0) != 0) continue;
    CoreKind kind;
    kind.efficiency = efficiency;
    kind.cores = hwloc_get_nbobjs_inside_cpuset_by_type(raw, set, HWLOC_OBJ_CORE);
    for (unsigned k = 0; k < infoCount; ++k) {
      if (qstrcmp(infos[k].name, "CoreType") == 0) kind.type = QString::fromUtf8(infos[k].value);
    }
    facts.coreKinds.push_back(kind);
  }
  hwloc_bitmap_free(set);
}

}  // namespace

void RunConditions::addClock(double mhz) {
  if (!(mhz > 0)) return;
  mhzMin = mhzSamples == 0 ? mhz : std::min(mhzMin, mhz);
  mhzMax = std::max(mhzMax, mhz);
  mhzAvg = (mhzAvg * mhzSamples + mhz) / (mhzSamples + 1);
  ++mhzSamples;
}

ConditionSource::ConditionSource(QString root) : root_(std::move(root)) {
  if (!root_.endsWith(u'/')) root_ += u'/';
}

QString ConditionSource::text(const QString& relative) const {
  try {
    return QString::fromUtf8(platform::files::readAll(root_ + relative, kMaxFileBytes));
  } catch (const RuntimeError&) {
    return {};
  }
}

MachineFacts ConditionSource::machine() const {
  MachineFacts facts;
  parseCpuInfoFacts(text(QStringLiteral("proc/cpuinfo")), facts);
  facts.memoryMb = parseMemTotalMb(text(QStringLiteral("proc/meminfo")));
  if (root_ == u"/") {
    readTopology(facts);
    utsname names{};
    if (uname(&names) == 0) facts.kernelRelease = QString::fromUtf8(names.release);
    const bool flagged = facts.flags.split(u' ', Qt::SkipEmptyParts).contains(QStringLiteral("hypervisor"));
    facts.hypervisor = hypervisorName(flagged, hypervisorSignature());
  } else {
    facts.kernelRelease = text(QStringLiteral("proc/sys/kernel/osrelease")).trimmed();
  }
  return facts;
}

std::optional<QString> ConditionSource::governor() const {
  const QString g = text(QStringLiteral("sys/devices/system/cpu/cpu0/cpufreq/scaling_governor")).trimmed();
  if (g.isEmpty()) return std::nullopt;
  return g;
}

double ConditionSource::clockMhz() const {
  // cpufreq's current clocks where the kernel has them, else cpuinfo's.
  double sum = 0;
  int count = 0;
  const QDir cpus(root_ + QStringLiteral("sys/devices/system/cpu"));
  for (const QString& name : cpus.entryList({QStringLiteral("cpu[0-9]*")}, QDir::Dirs)) {
    bool ok = false;
    const double kHz =
        text(QStringLiteral("sys/devices/system/cpu/") + name + QStringLiteral("/cpufreq/scaling_cur_freq"))
            .trimmed()
            .toDouble(&ok);
    if (ok && kHz > 0) {
      sum += kHz / 1000;
      ++count;
    }
  }
  if (count > 0) return sum / count;
  for (const QString& line : text(QStringLiteral("proc/cpuinfo")).split(u'\n')) {
    if (!line.startsWith(QStringLiteral("cpu MHz"))) continue;
    bool ok = false;
    const double mhz = line.mid(line.indexOf(u':') + 1).trimmed().toDouble(&ok);
    if (ok && mhz > 0) {
      sum += mhz;
      ++count;
    }
  }
  return count > 0 ? sum / count : 0;
}

LoadSample ConditionSource::load() const {
  return parseLoad(text(QStringLiteral("proc/loadavg")), text(QStringLiteral("proc/stat")));
}

void parseCpuInfoFacts(const QString& cpuinfo, MachineFacts& facts) {
  // The first processor's block speaks for all.
  for (const QString& line : cpuinfo.split(u'\n')) {
    if (line.trimmed().isEmpty()) {
      if (!facts.processor.isEmpty() || !facts.vendor.isEmpty()) return;
      continue;
    }
    const qsizetype colon = line.indexOf(u':');
    if (colon < 0) continue;
    const QString key = line.left(colon).trimmed();
    const QString value = line.mid(colon + 1).trimmed();
    if (key == u"model name") {
      facts.processor = value;
    } else if (key == u"vendor_id") {
      facts.vendor = value;
    } else if (key == u"cpu family") {
      facts.family = parseNumber(value);
    } else if (key == u"model") {
      facts.model = parseNumber(value);
    } else if (key == u"stepping") {
      facts.stepping = parseNumber(value);
    } else if (key == u"microcode") {
      facts.microcode = value;
    } else if (key == u"flags") {
      facts.flags = value;
    }
  }
}

double parseMemTotalMb(const QString& meminfo) {
  for (const QString& line : meminfo.split(u'\n')) {
    if (!line.startsWith(QStringLiteral("MemTotal:"))) continue;
    bool ok = false;
    const double kB = line.mid(9).trimmed().section(u' ', 0, 0).toDouble(&ok);
    return ok ? std::round(kB / 1024) : 0;
  }
  return 0;
}

LoadSample parseLoad(const QString& loadavg, const QString& stat) {
  LoadSample s;
  bool ok = false;
  const double load = loadavg.section(u' ', 0, 0).toDouble(&ok);
  if (ok) s.load1 = load;
  for (const QString& line : stat.split(u'\n')) {
    if (!line.startsWith(QStringLiteral("cpu "))) continue;
    // user nice system idle iowait irq softirq steal [guest guest_nice]: the
    // guest times are already inside user and nice.
    const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < fields.size() && i <= 8; ++i) s.totalTicks += fields[i].toULongLong();
    if (fields.size() > 8) s.stealTicks = fields[8].toULongLong();
    break;
  }
  return s;
}

double stealPercent(const LoadSample& before, const LoadSample& after) {
  if (after.totalTicks <= before.totalTicks || after.stealTicks < before.stealTicks) return 0;
  return 100.0 * static_cast<double>(after.stealTicks - before.stealTicks) /
         static_cast<double>(after.totalTicks - before.totalTicks);
}

std::optional<QString> hypervisorName(bool flagged, const QByteArray& signature) {
  if (!flagged) return std::nullopt;
  static const std::pair<const char*, const char*> kKnown[] = {
      {"KVMKVMKVM", "KVM"},      {"Microsoft Hv", "Hyper-V"},   {"VMwareVMware", "VMware"},
      {"XenVMMXenVMM", "Xen"},   {"TCGTCGTCGTCG", "QEMU"},      {"VBoxVBoxVBox", "VirtualBox"},
      {"bhyve bhyve ", "bhyve"}, {" lrpepyh  vr", "Parallels"}, {"ACRNACRNACRN", "ACRN"},
      {"QNXQVMBSQG", "QNX"},     {"Linux KVM Hv", "KVM"},       {"EVMMEVMMEVMM", "Intel EVMM"},
  };
  for (const auto& [sig, name] : kKnown) {
    if (signature.startsWith(sig)) return QString::fromLatin1(name);
  }
  // Flagged but unnamed: a hypervisor all the same.
  QString printable = QString::fromLatin1(signature).trimmed();
  printable.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() > 0x7e; });
  return printable.isEmpty() ? QStringLiteral("unknown") : printable;
}

QByteArray hypervisorSignature() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid(0x40000000, eax, ebx, ecx, edx);
  QByteArray sig;
  for (unsigned reg : {ebx, ecx, edx}) sig.append(reinterpret_cast<const char*>(&reg), 4);
  return sig;
#else
  return {};
#endif
}

}  // namespace rootix::engine
