#pragma once

#include <cstdint>
#include <functional>

#include "platform/command_table.h"

namespace rootix::engine {

class KernelChoice;
class ProcessorSource;
class TestRunner;

// What the engine's commands need of the console, without the console.
struct EngineConsole {
  platform::CommandTable& commands;
  platform::LinePrinter print;
  // The test selection menu of "lt": the whole number picked (any value;
  // only 1 to 16 start a test).
  std::function<int16_t()> selectTest;
};

// Adds the engine's console commands: "sqrt", "st", "lt", "qt", "initthread",
// "getbasichw", "stresscpu", "refhw", "qm", "tc" and "kernel". The runner, the processor source
// and the kernel choice must outlive the interpreter's use of them.
void registerEngineCommands(const EngineConsole& console, TestRunner& runner, ProcessorSource& processors,
                            KernelChoice& kernels);

}  // namespace rootix::engine
