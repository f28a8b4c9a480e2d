#pragma once

#include <cstdint>

namespace rootix::engine {

// True when any of the values has its sign bit set. The non-convergence
// sentinel is negative and no root is, so this one pass over a freshly
// computed block tells whether it needs a closer look. Reads at the full
// vector width of the processor.
bool anySignBit(const double* values, std::int64_t count);

}  // namespace rootix::engine
