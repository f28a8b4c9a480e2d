#pragma once

namespace rootix::platform {
class Dialogs;
}

namespace rootix::console {
class Accumulator;
class Interpreter;
}  // namespace rootix::console

namespace rootix::scores {

class ScoreList;
struct HardwareSummary;

// What the score commands work on; all of it outlives the interpreter.
struct ScoreServices {
  ScoreList& scores;
  const HardwareSummary& hardware;    // copied into every new score
  platform::Dialogs& dialogs;         // the replace question of "save"
  console::Accumulator& accumulator;  // "rootix=score", "rootix=test"
};

// Registers "showscore", "save", "load", "rootix=score" and "rootix=test".
// The records come from the interpreter's shell state.
void registerScoreCommands(console::Interpreter& interpreter, const ScoreServices& services);

}  // namespace rootix::scores
