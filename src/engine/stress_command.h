#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "engine/stress_run.h"
#include "platform/command_table.h"

namespace rootix::scores {
class ThreadCount;
}

namespace rootix::engine {

class KernelSource;

// What the "stress" command needs of the program.
struct StressServices {
  StressSystem& system;
  platform::Clock& clock;
  scores::ThreadCount& threads;
  // The console's abort key (Ctrl-C in the terminal): armed for the test's length.
  std::function<void()> armStop;
  std::function<bool()> stopRequested;
  std::function<void()> disarmStop;
  // How to press it, for the start line ("Ctrl-C ends it after the current block.").
  QString stopHint;
  // True for the run the -stress= switch asked for: cycle mode then does one round.
  std::function<bool()> unattended;
  // Told of every test that ran to its verdict.
  std::function<void(const StressOutcome&)> finished;
  // Memory the system can hand out in bytes (-1 unknown); empty: not checked.
  std::function<std::int64_t()> availableMemory;
  // ROOTIX_STRESS_INJECT's value (null: unset); empty: read from the environment.
  std::function<const char*()> injection;
  // Gives the test its range kernel as it starts.
  KernelSource& kernels;
};

// "stress <test> <duration> [cycle]": the stability test, run to its verdict before the
// command returns (events keep running meanwhile). The services must outlive the command table.
void registerStressCommand(platform::CommandTable& commands, platform::LinePrinter print, StressServices services);

}  // namespace rootix::engine
