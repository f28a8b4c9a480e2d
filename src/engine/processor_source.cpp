#include "engine/processor_source.h"

#include <hwloc.h>

#include <QStringList>
#include <memory>

#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/runtime_error.h"

namespace rootix::engine {
namespace {

QString readText(const QString& path) {
  try {
    return QString::fromUtf8(platform::files::readAll(path, int64_t{4} << 20));
  } catch (const RuntimeError&) {
    return {};
  }
}

struct TopologyDeleter {
  void operator()(hwloc_topology* t) const { hwloc_topology_destroy(t); }
};
using Topology = std::unique_ptr<hwloc_topology, TopologyDeleter>;

Topology loadTopology() {
  hwloc_topology_t raw = nullptr;
  if (hwloc_topology_init(&raw) != 0) return nullptr;
  Topology topo(raw);
  if (hwloc_topology_load(raw) != 0) return nullptr;
  return topo;
}

int64_t l2KilobytesIn(hwloc_topology_t topo, hwloc_obj_t pkg) {
  uint64_t bytes = 0;
  for (hwloc_obj_t cache = hwloc_get_next_obj_by_type(topo, HWLOC_OBJ_L2CACHE, nullptr); cache;
       cache = hwloc_get_next_obj_by_type(topo, HWLOC_OBJ_L2CACHE, cache)) {
    if (hwloc_obj_is_in_subtree(topo, cache, pkg)) bytes += cache->attr->cache.size;
  }
  return static_cast<int64_t>(bytes / 1024);
}

}  // namespace

std::map<int, CpuInfoEntry> parseCpuInfo(const QString& text) {
  std::map<int, CpuInfoEntry> entries;
  CpuInfoEntry* current = nullptr;
  for (const QString& line : text.split(u'\n')) {
    const qsizetype colon = line.indexOf(u':');
    if (colon < 0) continue;
    const QString key = line.left(colon).trimmed();
    const QString value = line.mid(colon + 1).trimmed();
    bool ok = false;
    if (key == u"processor") {
      const int number = value.toInt(&ok);
      current = ok ? &entries[number] : nullptr;
    } else if (!current) {
      continue;
    } else if (key == u"model name") {
      current->modelName = value;
    } else if (key == u"cpu MHz") {
      const double mhz = value.toDouble(&ok);
      if (ok) current->mhz = mhz;
    } else if (key == u"physical id") {
      const int id = value.toInt(&ok);
      if (ok) current->physicalId = id;
    }
  }
  return entries;
}

int32_t parseScalingFrequencyMHz(const QString& text) {
  bool ok = false;
  const qlonglong kHz = text.trimmed().toLongLong(&ok);
  if (!ok || kHz < 0) return -1;
  return num::toInt32(static_cast<double>(kHz) / 1000);
}

SystemProcessorSource::SystemProcessorSource(QString procRoot, QString sysRoot)
    : procRoot_(std::move(procRoot)), sysRoot_(std::move(sysRoot)) {}

std::vector<ProcessorPackage> SystemProcessorSource::packages() {
  const Topology topo = loadTopology();
  if (!topo) throw RuntimeError(kPathFileAccessError, "hwloc cannot read the topology");
  const auto cpuInfo = parseCpuInfo(readText(procRoot_ + QStringLiteral("/cpuinfo")));

  std::vector<hwloc_obj_t> objects;
  const int count = hwloc_get_nbobjs_by_type(topo.get(), HWLOC_OBJ_PACKAGE);
  for (int i = 0; i < count; ++i) objects.push_back(hwloc_get_obj_by_type(topo.get(), HWLOC_OBJ_PACKAGE, i));
  // Without package information the whole machine is one package.
  if (objects.empty()) objects.push_back(hwloc_get_root_obj(topo.get()));

  std::vector<ProcessorPackage> result;
  for (hwloc_obj_t obj : objects) {
    const hwloc_obj_t pu = hwloc_get_next_obj_inside_cpuset_by_type(topo.get(), obj->cpuset, HWLOC_OBJ_PU, nullptr);
    if (!pu) throw RuntimeError(kPathFileAccessError, "package without processors");
    const int cpu = static_cast<int>(pu->os_index);
    const auto info = cpuInfo.find(cpu);

    ProcessorPackage pkg;
    if (const char* model = hwloc_obj_get_info_by_name(obj, "CPUModel")) pkg.name = QString::fromUtf8(model).trimmed();
    if (pkg.name.isEmpty() && info != cpuInfo.end()) pkg.name = info->second.modelName;
    if (pkg.name.isEmpty()) throw RuntimeError(kPathFileAccessError, "no processor name");

    int32_t mhz =
        parseScalingFrequencyMHz(readText(sysRoot_ + QStringLiteral("/devices/system/cpu/cpu") + QString::number(cpu) +
                                          QStringLiteral("/cpufreq/scaling_cur_freq")));
    if (mhz < 0 && info != cpuInfo.end() && info->second.mhz >= 0) mhz = num::toInt32(info->second.mhz);
    if (mhz < 0) throw RuntimeError(kPathFileAccessError, "no processor clock");
    pkg.clockMHz = mhz;

    pkg.l2KB = l2KilobytesIn(topo.get(), obj);
    result.push_back(pkg);
  }
  return result;
}

}  // namespace rootix::engine
