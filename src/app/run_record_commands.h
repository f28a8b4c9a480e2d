#pragma once

#include <functional>

namespace rootix::platform {
class CommandTable;
}
namespace rootix::console {
class Console;
}

namespace rootix::app {

class RunRecorder;
class RunCompletion;

// "json <path>", "json off" and "json": where run records go. "repeat <n>
// <test>": n runs of test k, then their spread line. startTest starts test
// k as "st" does.
void registerRunRecordCommands(platform::CommandTable& commands, console::Console& console, RunRecorder& recorder,
                               RunCompletion& completion, std::function<void(int16_t test)> startTest);

}  // namespace rootix::app
