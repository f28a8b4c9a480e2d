#include "bench_registry.h"

namespace rootix::bench {

// ---------------------------------------------------------------------------------------
// Whole-run benchmarks: a 32M test on one worker thread and on every hardware thread, run
// through the engine's worker threads. To be registered here by the worker threads' owner
// once the engine's run interface exists. Call reportNumbers(state, 33554432) in each so
// that the run appears in the summary next to the kernel figures.
// ---------------------------------------------------------------------------------------
void registerRunBenchmarks()
{
}

} // namespace rootix::bench
