#pragma once

#include <string>

#include "engine/stress_run.h"

namespace rootix::engine {

// The running Linux machine: the process's affinity mask, pinning by pthread affinity, the
// clock from cpufreq and the temperature from hwmon (both read without root where the
// kernel offers them). `sysRoot` is "/sys" but for tests.
class LinuxStressSystem final : public StressSystem {
 public:
  explicit LinuxStressSystem(std::string sysRoot = "/sys") : sysRoot_(std::move(sysRoot)) {}

  std::vector<int> allowedCpus() override;
  bool pinCurrentThread(int cpu) override;
  int currentCpu() override;
  std::optional<double> averageClockMHz(const std::vector<int>& cpus) override;
  std::optional<double> hottestCelsius() override;

 private:
  std::string sysRoot_;
};

}  // namespace rootix::engine
