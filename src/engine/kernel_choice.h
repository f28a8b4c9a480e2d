#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/range_kernel.h"

namespace rootix::engine {

// Which exact range kernel the workers use. Every kernel gives the same bits, so the choice
// is only about speed: at first use each candidate is timed on a small block and the fastest
// is kept. A forced kernel (the "kernel" command, or ROOTIX_KERNEL=<name> in the environment
// at start) overrides the timing, so that machines can be compared on the same method.
// Safe to call from any thread.

// The kernel computeRange(first, count, out) uses now.
Kernel activeKernel();
// The timing's choice, measured once, on first need.
Kernel timedKernel();
// The forced kernel, if any.
std::optional<Kernel> forcedKernel();
// Forces `kernel` (false, and nothing changes, when the processor cannot run it); nullopt
// returns to the timed choice.
bool forceKernel(std::optional<Kernel> kernel);

// The candidate with the lowest time; `secondsFor` is called `rounds` times per candidate,
// the candidates taking turns, and each keeps its best time, so a passing disturbance does
// not decide. Ties go to the earlier candidate. Scalar when there is no candidate.
Kernel fastestKernel(const std::vector<Kernel>& candidates, const std::function<double(Kernel)>& secondsFor,
                     int rounds);

// The kernel a ROOTIX_KERNEL value forces. nullopt when unset or empty, and when it names no
// kernel this processor runs; `problem` then says so (it stays empty otherwise).
std::optional<Kernel> kernelFromSetting(const char* value, std::string& problem);

// Seconds one candidate takes for the selection's block.
double timeKernelBlock(Kernel kernel);

// "AVX512/divide (timed)" or "AVX2/fma (forced)".
std::string describeActiveKernel();

}  // namespace rootix::engine
