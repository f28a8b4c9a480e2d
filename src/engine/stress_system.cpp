#include "engine/stress_system.h"

#include <pthread.h>
#include <sched.h>

#include <filesystem>
#include <fstream>

namespace rootix::engine {
namespace {

// Room for this many logical processors in an affinity mask.
constexpr int kMaxCpus = 8192;

struct CpuSet {
  CpuSet() : set(CPU_ALLOC(kMaxCpus)), size(CPU_ALLOC_SIZE(kMaxCpus)) { CPU_ZERO_S(size, set); }
  ~CpuSet() { CPU_FREE(set); }
  CpuSet(const CpuSet&) = delete;
  CpuSet& operator=(const CpuSet&) = delete;
  cpu_set_t* set;
  std::size_t size;
};

std::optional<long long> readNumber(const std::filesystem::path& path) {
  std::ifstream in(path);
  long long value = 0;
  if (!(in >> value)) return std::nullopt;
  return value;
}

}  // namespace

std::vector<int> LinuxStressSystem::allowedCpus() {
  CpuSet mask;
  std::vector<int> cpus;
  if (::sched_getaffinity(0, mask.size, mask.set) != 0) return cpus;
  for (int cpu = 0; cpu < kMaxCpus; ++cpu) {
    if (CPU_ISSET_S(cpu, mask.size, mask.set)) cpus.push_back(cpu);
  }
  return cpus;
}

bool LinuxStressSystem::pinCurrentThread(int cpu) {
  if (cpu < 0 || cpu >= kMaxCpus) return false;
  CpuSet mask;
  CPU_SET_S(cpu, mask.size, mask.set);
  return ::pthread_setaffinity_np(::pthread_self(), mask.size, mask.set) == 0;
}

int LinuxStressSystem::currentCpu() { return ::sched_getcpu(); }

std::optional<double> LinuxStressSystem::averageClockMHz(const std::vector<int>& cpus) {
  double sum = 0;
  int count = 0;
  for (int cpu : cpus) {
    const auto khz = readNumber(std::filesystem::path(sysRoot_) / "devices/system/cpu" / ("cpu" + std::to_string(cpu)) /
                                "cpufreq/scaling_cur_freq");
    if (!khz || *khz <= 0) continue;
    sum += double(*khz) / 1000;
    ++count;
  }
  if (count == 0) return std::nullopt;
  return sum / count;
}

std::optional<double> LinuxStressSystem::hottestCelsius() {
  std::optional<double> hottest;
  std::error_code error;
  const std::filesystem::path hwmon = std::filesystem::path(sysRoot_) / "class/hwmon";
  try {
    for (const auto& device : std::filesystem::directory_iterator(hwmon, error)) {
      std::error_code inner;
      for (const auto& file : std::filesystem::directory_iterator(device.path(), inner)) {
        const std::string name = file.path().filename().string();
        if (!name.starts_with("temp") || !name.ends_with("_input")) continue;
        const auto milli = readNumber(file.path());
        // Sensors that are not connected read far outside what a processor survives.
        if (!milli || *milli <= -40000 || *milli >= 150000) continue;
        hottest = std::max(hottest.value_or(-1e9), double(*milli) / 1000);
      }
    }
  } catch (const std::filesystem::filesystem_error&) {
    // A sensor that went away while being listed: what was read so far stands.
  }
  return hottest;
}

}  // namespace rootix::engine
