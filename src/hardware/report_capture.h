#pragma once

#include <QString>
#include <cstdint>

#include "hardware/hash_table.h"
#include "hardware/waiter.h"

namespace rootix::platform {
class ProcessLauncher;
}

namespace rootix::hardware {

// The user's way to abort the waits for the report: the Shift key where a
// window is shown, Ctrl-C in the terminal. arm and disarm bracket each wait,
// so a terminal can take Ctrl-C only while there is something to abort.
class AbortKey {
 public:
  virtual ~AbortKey() = default;
  virtual bool held() = 0;
  virtual void arm() {}
  virtual void disarm() {}
};

// For a program no one can interrupt; pair it with abortable = false.
class NeverHeldKey final : public AbortKey {
 public:
  bool held() override { return false; }
};

struct CaptureOptions {
  // False when no one can abort (no window, no terminal): each wait then
  // ends by itself after unattendedLimitMs instead of running forever.
  bool abortable = true;
  int unattendedLimitMs = 60000;
};

// Obtains the hardware report: starts the report tool in the private
// temporary folder with a fresh output file, waits for the file, reads it
// and parses it. Every wait keeps events running. A wait that is given up
// (the key, or the unattended bound) ends the tool.
class ReportCapture {
 public:
  ReportCapture(PrintFn print, platform::ProcessLauncher& launcher, Waiter& waiter, AbortKey& abortKey,
                CaptureOptions options = {});

  // The parsed report; an empty table when the capture was aborted or the
  // report could not be read.
  HashTable GatherCPUzInfo();

  // Runs the tool and waits for its report. Returns the report's path, or
  // the empty text when the wait was aborted or timed out.
  QString ShellCPUz();

  // The whole report as single-byte text; the empty text for an empty path
  // or an abort. A missing or empty report is retried every three seconds.
  QString ReadCPUzOutput(const QString& reportPath);

  static constexpr int kPollMs = 100;
  static constexpr int kSettleMs = 1000;

 private:
  // True when the wait that began at startMs should end: the key is held,
  // or no one can abort and the time is up.
  bool shouldStop(int64_t startMs);
  // The wait is given up: a tool still running would outlive Rootix.
  void endTool();

  PrintFn print_;
  platform::ProcessLauncher& launcher_;
  Waiter& waiter_;
  AbortKey& abortKey_;
  CaptureOptions options_;
  int64_t toolPid_ = 0;  // the tool this capture started; 0 when none runs
};

}  // namespace rootix::hardware
