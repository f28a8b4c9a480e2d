#include "bench_registry.h"

#include "engine/newton.h"
#include "engine/range_kernel.h"

#include <string>
#include <vector>

namespace rootix::bench {
namespace {

// The numbers of a 32M test; each iteration takes the next block, so the whole range is
// covered the way a worker covers it.
constexpr std::int64_t kRangeEnd = std::int64_t(1) << 25;
constexpr std::int64_t kBlock = 8192;

void perNumberLoop(benchmark::State& state) {
  const engine::Newton newton;
  std::vector<double> out(kBlock);
  std::int64_t first = 0;
  for (auto _ : state) {
    for (std::int64_t i = 0; i < kBlock; ++i) out[std::size_t(i)] = newton.Sqrt(double(first + i));
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    first = (first + kBlock) % kRangeEnd;
  }
  reportNumbers(state, kBlock);
}

void rangeKernel(benchmark::State& state, engine::Kernel kernel) {
  std::vector<double> out(kBlock);
  std::int64_t first = 0;
  for (auto _ : state) {
    engine::computeRange(kernel, double(first), kBlock, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    first = (first + kBlock) % kRangeEnd;
  }
  reportNumbers(state, kBlock);
}

}  // namespace

void registerKernelBenchmarks() {
  benchmark::RegisterBenchmark("PerNumberLoop", perNumberLoop);
  // Every exact kernel the processor runs: each width with the divider, with the
  // multiply-add quotient and with both mixes of the two.
  for (engine::Kernel kernel : engine::availableKernels()) {
    if (kernel.isa == engine::Isa::Scalar) continue;  // the same loop as PerNumberLoop
    benchmark::RegisterBenchmark(("RangeKernel/" + engine::kernelName(kernel)).c_str(), rangeKernel, kernel);
  }
}

}  // namespace rootix::bench
