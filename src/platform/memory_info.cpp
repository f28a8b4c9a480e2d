#include "platform/memory_info.h"

#include <fstream>
#include <string>

namespace rootix::platform {

int64_t availableMemoryBytes() {
  std::ifstream in("/proc/meminfo");
  std::string key;
  int64_t value = 0;
  std::string unit;
  while (in >> key >> value) {
    std::getline(in, unit);
    if (key == "MemAvailable:") return value * 1024;
  }
  return -1;
}

}  // namespace rootix::platform
