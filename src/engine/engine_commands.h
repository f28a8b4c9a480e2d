#pragma once

namespace rootix::console {
class Interpreter;
}

namespace rootix::engine {

class ProcessorSource;
class TestRunner;

// Adds the engine's console commands: "sqrt", "st", "lt", "qt", "initthread",
// "getbasichw", "stresscpu", "refhw", "qm", "tc" and "kernel". The runner and the processor source
// must outlive the interpreter's use of them.
void registerEngineCommands(console::Interpreter& interpreter, TestRunner& runner, ProcessorSource& processors);

}  // namespace rootix::engine
