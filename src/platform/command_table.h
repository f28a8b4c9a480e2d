#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "platform/command_call.h"

namespace rootix::platform {

// Case-insensitive match of a command word: the line equals the word, or
// starts with the word followed by exactly one space.
bool IsCommand(const QString& word, const QString& line);

// Prints one console line; what commands get instead of the console itself.
using LinePrinter = std::function<void(const QString&)>;

// The console's command words and their handlers. Subsystems add their
// commands here without needing the console itself.
class CommandTable {
 public:
  // Handlers throw RuntimeError for the interpreter's error path.
  using Handler = std::function<void(CommandCall&)>;

  void add(const QString& word, Handler handler);
  bool has(const QString& word) const;
  // The handler of the first word (in the order added) that the line
  // matches; null when none does.
  const Handler* find(const QString& line) const;

 private:
  struct Entry {
    QString word;
    Handler handler;
  };
  std::vector<Entry> entries_;
};

}  // namespace rootix::platform
