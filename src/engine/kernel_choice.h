#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/range_kernel.h"

namespace rootix::engine {

// The kernel one run computes with: what its workers call, and what its record names.
struct RunKernel {
  KernelFunction compute;
  std::string name;  // kernelName(), "AVX2/fma"
  bool forced = false;
  // "AVX2/fma (forced)" or "AVX512/divide (timed)".
  std::string describe() const;
};

// Where runs get their kernel: asked on the UI thread as each run starts.
class KernelSource {
 public:
  virtual ~KernelSource() = default;
  virtual RunKernel kernelForRun() = 0;
};

// Which exact range kernel the runs use. Every kernel gives the same bits, so the choice is
// only about speed: at first need each candidate is timed on a small block and the fastest is
// kept. A forced kernel (the "kernel" command, or ROOTIX_KERNEL=<name> in the environment at
// start) overrides the timing, so that machines can be compared on the same method.
// Use it on the UI thread; a run copies the kernel it starts with, so a change applies from
// the next run on.
class KernelChoice final : public KernelSource {
 public:
  // `forced`: the start's choice; nullopt (or a kernel this processor cannot run) times them.
  explicit KernelChoice(std::optional<Kernel> forced = std::nullopt);

  // The kernel runs use now.
  Kernel active();
  // The timing's choice, measured once, on first need.
  Kernel timed();
  std::optional<Kernel> forced() const { return forced_; }
  // Forces `kernel` (false, and nothing changes, when the processor cannot run it); nullopt
  // returns to the timed choice.
  bool force(std::optional<Kernel> kernel);
  // "AVX512/divide (timed)" or "AVX2/fma (forced)".
  std::string describe();

  RunKernel kernelForRun() override;

 private:
  std::optional<Kernel> forced_;
  std::optional<Kernel> timed_;
};

// The candidate with the lowest time; `secondsFor` is called `rounds` times per candidate,
// the candidates taking turns, and each keeps its best time, so a passing disturbance does
// not decide. Ties go to the earlier candidate. Scalar when there is no candidate.
Kernel fastestKernel(const std::vector<Kernel>& candidates, const std::function<double(Kernel)>& secondsFor,
                     int rounds);

// The kernel a ROOTIX_KERNEL value forces. nullopt when unset or empty, and when it names no
// kernel this processor runs; `problem` then says so (it stays empty otherwise).
std::optional<Kernel> kernelFromSetting(const char* value, std::string& problem);
// ROOTIX_KERNEL's kernel, read now; a value that cannot be used is told on standard error.
std::optional<Kernel> kernelFromEnvironment();

// Seconds one candidate takes for the selection's block.
double timeKernelBlock(Kernel kernel);

}  // namespace rootix::engine
