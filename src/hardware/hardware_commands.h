#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "hardware/hardware_scan.h"
#include "hardware/library_install.h"
#include "hardware/report_capture.h"
#include "hardware/waiter.h"
#include "platform/command_table.h"

namespace rootix::platform {
class Dialogs;
class ProcessLauncher;
class SettingsStore;
}  // namespace rootix::platform

namespace rootix::scores {
class ThreadCount;
}

namespace rootix::hardware {

// What the hardware code needs from outside.
struct HardwareServices {
  platform::ProcessLauncher& launcher;  // starts the report tool
  platform::SettingsStore& settings;    // "cleanup" removes two settings
  platform::Dialogs& dialogs;           // "cleanup" asks before removing the Winsock control
  AbortKey& abortKey;                   // Shift in a window, Ctrl-C in a terminal
  ResourceLookup resources;             // the program passes loadResource
  // False when no one can abort the waits for the report: they then end
  // after unattendedLimitMs.
  bool abortable = true;
  int unattendedLimitMs = 60000;
  // How waits run; null for the program's event loop.
  Waiter* waiter = nullptr;
  // Whether "install" goes back to the graphical window afterwards.
  std::function<bool()> revertToGui;
};

// How the hardware commands reach the console.
struct HardwareConsole {
  platform::LinePrinter print;
  // Runs a command line ("install" going back to the graphical window).
  std::function<void(const QString& line, bool noReturn)> doInput;
  double& accumulator;  // "rootix=hardwarethreads" sets it
};

// The hardware subsystem as the console sees it: the last report, the
// hardware summary and thread count, and the commands "install",
// "refcpuz", "setvistathread", "hwinfo", "hwinfon", "cleanup" and
// "rootix=hardwarethreads".
class HardwareCommands {
 public:
  HardwareCommands(HardwareConsole console, scores::ThreadCount& threads, HardwareServices services);
  ~HardwareCommands();
  HardwareCommands(const HardwareCommands&) = delete;
  HardwareCommands& operator=(const HardwareCommands&) = delete;

  void registerAll(platform::CommandTable& commands);

  // The operations behind the commands, for callers other than the console.
  bool install(const QString& file);
  void GetCPUz();
  void CleanUp();

  const scores::HardwareSummary& summary() const { return state_.summary; }
  int32_t hardwareThreads() const { return state_.hardwareThreads; }
  const QString& lastError() const { return installer_.lastError(); }

 private:
  void print(const QString& line);

  HardwareConsole console_;
  scores::ThreadCount& threads_;
  HardwareServices services_;
  std::unique_ptr<Waiter> ownWaiter_;
  HardwareState state_;
  ReportCapture capture_;
  LibraryInstaller installer_;
};

}  // namespace rootix::hardware
