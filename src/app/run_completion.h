#pragma once

#include <QString>

#include "engine/run_listener.h"

namespace rootix::console {
class Interpreter;
}

namespace rootix::app {

// What the program does when a run ends: the marker file of "-save=", "exit"
// queued for "-exit=", the process's exit status, and the return to the
// graphical window for a run started from it.
class RunCompletion : public engine::RunListener {
 public:
  // savePath and exitAfterRun as the start-up switches give them.
  RunCompletion(console::Interpreter& interpreter, QString savePath, bool exitAfterRun);

  bool runFinished(const engine::RunResult& result) override;

  // Set by the graphical window's run buttons; the next completion clears it.
  void setRevertToGui(bool on) { revertToGui_ = on; }
  bool revertToGui() const { return revertToGui_; }

  // A stress test has its verdict: its status (0, 4 or 5) becomes the exit
  // status and "exit" is queued for "-exit=".
  void stressFinished(int status);

  // 0, or non-zero after a run that reported errors (1) or could not write
  // its marker file (2), so automation can tell.
  int exitStatus() const { return exitStatus_; }

 private:
  bool writeMarkerFile();

  console::Interpreter& interp_;
  QString savePath_;
  bool exitAfterRun_;
  bool revertToGui_ = false;
  int exitStatus_ = 0;
};

}  // namespace rootix::app
