#include <algorithm>
#include <string>
#include <thread>

#include "bench_registry.h"
#include "engine/kernel_choice.h"
#include "engine/stress_reference.h"
#include "engine/stress_run.h"
#include "engine/stress_system.h"

namespace rootix::bench {

// ---------------------------------------------------------------------------------------
// What checking costs: one pass of the stability test (whole blocks, each hashed and compared
// with the reference, workers pinned) against the plain run of the same test on the same
// threads, the two taking turns. Counters (best of the iterations each): plain_s, the plain
// run; stress_over_plain, the pass over the plain run (the target is at most 1.10).
// ---------------------------------------------------------------------------------------
namespace {

double stressPassSeconds(int test, int threads) {
  engine::LinuxStressSystem system;
  platform::SteadyClock clock;
  engine::StressPlan plan;
  // Any time at all is over once the first pass is under way: exactly one pass.
  plan.request = engine::StressRequest{test, 1e-9, false};
  plan.workers = threads;
  plan.cpus = system.allowedCpus();
  plan.compute = benchKernels().kernelForRun().compute;
  engine::StressRun run(plan, system, clock);
  run.start();
  while (!run.finished()) {
    run.poll();
    if (!run.finished()) run.waitForNews(100);
  }
  const engine::StressOutcome outcome = run.outcome();
  if (outcome.errors != 0 || outcome.passes != 1) return -1;
  return outcome.seconds;
}

void stressPass(benchmark::State& state, int test, int threads) {
  double bestPlain = 1e300;
  double bestStress = 1e300;
  for (auto _ : state) {
    const double plain = plainRunSeconds(test, threads);
    const double stress = stressPassSeconds(test, threads);
    if (stress < 0) {
      state.SkipWithError("the stress pass found errors on a machine that should have none");
      return;
    }
    state.SetIterationTime(stress);
    bestPlain = std::min(bestPlain, plain);
    bestStress = std::min(bestStress, stress);
  }
  reportNumbers(state, double(*engine::stressBlocksOfTest(test)) * double(engine::kStressBlockNumbers));
  state.counters["plain_s"] = bestPlain;
  state.counters["stress_over_plain"] = bestStress / bestPlain;
}

}  // namespace

void registerStressBenchmarks() {
  const int hardwareThreads = std::max(1u, std::thread::hardware_concurrency());
  std::vector<int> counts{1};
  if (hardwareThreads > 1) counts.push_back(hardwareThreads);
  for (int threads : counts) {
    benchmark::RegisterBenchmark(("StressPass32M/threads:" + std::to_string(threads)).c_str(),
                                 [threads](benchmark::State& s) { stressPass(s, 6, threads); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2);
  }
  benchmark::RegisterBenchmark(("StressPass1024M/threads:" + std::to_string(hardwareThreads)).c_str(),
                               [hardwareThreads](benchmark::State& s) { stressPass(s, 11, hardwareThreads); })
      ->UseManualTime()
      ->Unit(benchmark::kSecond)
      ->Iterations(1);
}

}  // namespace rootix::bench
