#pragma once

#include "platform/command_table.h"

namespace rootix::platform {
class Dialogs;
}

namespace rootix::scores {

class Records;
class ScoreBook;
class ThreadCount;
struct HardwareSummary;

// What the score commands work on; all of it outlives the command table.
struct ScoreServices {
  ScoreBook& book;
  const HardwareSummary& hardware;  // copied into every new score
  platform::Dialogs& dialogs;       // the replace question of "save"
  double& accumulator;              // "rootix=score", "rootix=test" set it
  platform::LinePrinter print;
};

// Adds "showscore", "save", "load", "rootix=score" and "rootix=test".
void registerScoreCommands(platform::CommandTable& commands, const ScoreServices& services);

// Adds "pr" (the records) and "ft", "sft" (the thread count, which clears them).
void registerRecordCommands(platform::CommandTable& commands, Records& records, ThreadCount& threads,
                            const platform::LinePrinter& print);

}  // namespace rootix::scores
