#pragma once

#include <cstdint>

namespace rootix::platform {

// Memory the system can still hand out without swapping (MemAvailable), in
// bytes; -1 when unknown.
int64_t availableMemoryBytes();

}  // namespace rootix::platform
