#pragma once

#include <QString>

#include "app/repeat_runs.h"
#include "engine/run_listener.h"
#include "scores/hardware_summary.h"

#include "console/interpreter.h"
#include "engine/test_runner.h"

namespace rootix::app {

// The console's turn after a run the console started: "resumeinput" while
// input is paused, else the next line. Deferred, so the finishing worker is
// released before the chain goes on.
void handBackToConsole(console::Interpreter& interpreter);

// The engine's run flag as the interpreter asks for it: while a test runs the
// chain reads no line; the error path clears it.
class RunnerGate : public console::RunGate {
 public:
  explicit RunnerGate(engine::TestRunner& runner) : runner_(runner) {}
  bool running() const override { return runner_.running(); }

 private:
  engine::TestRunner& runner_;
};

// What the program does when a run ends: the next run of a repeated series
// and its spread line at the end, the score file of "-save=", "exit" queued
// for "-exit=", the process's exit status, and the return to the graphical
// window for a run started from it.
class RunCompletion : public engine::RunListener {
 public:
  // savePath and exitAfterRun as the start-up switches give them.
  // hardware: what the score of "-save=" copies (null: an empty summary).
  RunCompletion(console::Interpreter& interpreter, QString savePath, bool exitAfterRun,
                const scores::HardwareSummary* hardware = nullptr);

  bool runFinished(const engine::RunResult& result) override;

  // Set by the graphical window's run buttons; the next completion clears it.
  void setRevertToGui(bool on) { revertToGui_ = on; }
  bool revertToGui() const { return revertToGui_; }

  // A stress test has its verdict: its status (0, 4 or 5) becomes the exit
  // status and "exit" is queued for "-exit=".
  void stressFinished(int status);

  // "repeat" and "-repeat=" start their series here.
  RepeatRuns& repeat() { return repeat_; }

  // 0, or non-zero after a run that reported errors (1) or could not write
  // its score file (2), so automation can tell.
  int exitStatus() const { return exitStatus_; }

 private:
  bool writeScoreFile(const engine::RunResult& result);

  console::Interpreter& interp_;
  QString savePath_;
  bool exitAfterRun_;
  scores::HardwareSummary emptyHardware_;
  const scores::HardwareSummary& hardware_;
  RepeatRuns repeat_;
  bool revertToGui_ = false;
  int exitStatus_ = 0;
};

}  // namespace rootix::app
