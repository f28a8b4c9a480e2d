#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "platform/command_table.h"

namespace rootix::console {

class Console;

// Whether a test run holds the console: while one runs, the chain reads no
// line. The engine owns the run; a start that fails lets go of it itself.
class RunGate {
 public:
  virtual ~RunGate() = default;
  virtual bool running() const = 0;
};

// The command interpreter. Every action is a line given to doInput.
class Interpreter {
 public:
  explicit Interpreter(Console& console);

  // The command words; handlers throw RuntimeError for the error path.
  platform::CommandTable& commands() { return commands_; }

  // Runs cmd; unless noReturn (or a test is running, or the line is "gui"),
  // then reads the next console line and runs it, and so on: the interactive
  // chain. The chain is a loop, so it never nests deeper as lines are typed.
  void doInput(const QString& cmd, bool noReturn);

  // After a test run: start the chain again (with firstCommand, or by reading
  // a line unless a chain is already waiting for one; that one simply goes
  // on). Deferred to the event loop so the finishing worker is released first.
  void resumeChain(const QString& firstCommand = {});

  // "exit" was given: no further line is read anywhere.
  void requestStop() { stopped_ = true; }
  bool stopped() const { return stopped_; }

  // Who says whether a test runs (null: none ever does).
  void setRunGate(RunGate* gate) { gate_ = gate; }

  Console& console() { return console_; }

 private:
  // Runs one line; returns whether the chain reads the next one.
  bool runOne(const QString& cmd, bool noReturn);
  // The error path: prints the code; the chain reads the next line even while
  // a run holds the console.
  bool reportError(int code);
  bool testRunning() const { return gate_ && gate_->running(); }

  Console& console_;
  RunGate* gate_ = nullptr;
  platform::CommandTable commands_;
  bool stopped_ = false;
};

}  // namespace rootix::console
