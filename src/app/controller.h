#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "console/accumulator.h"
#include "console/console.h"
#include "console/interpreter.h"
#include "console/shell_commands.h"
#include "engine/range_kernel.h"
#include "gui/gui_host.h"
#include "hardware/library_install.h"
#include "hardware/report_capture.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/process_launcher.h"
#include "platform/settings_store.h"
#include "platform/url_opener.h"

namespace rootix::app {

// Start-up switches as read from the command line.
struct Switches {
  QString commandLine;  // the arguments as one text
  QString runTest;      // -run=
  QString savePath;     // -save= (run mode only)
  QString stress;       // -stress=<test>:<duration>[:cycle], a run mode of its own
  bool exitAfterRun = false;
  bool terminal = false;          // --terminal, or no display
  QString jsonPath;               // -json=: run records go there
  std::optional<QString> repeat;  // -repeat= (run mode only), as given

  static Switches parse(const QString& commandLine, bool displayAvailable);
};

// How the controller is put together; the app fills it from the real
// platform, tests with fakes.
struct ControllerParts {
  console::ConsoleFace& face;
  console::OutputSink& sink;
  console::MirrorMode mirror;
  platform::Dialogs& dialogs;
  platform::Clipboard& clipboard;
  platform::SettingsStore& settings;
  platform::ProcessLauncher& launcher;
  hardware::AbortKey& abortKey;
  // False when no one can abort the hardware scan's waits (no display, and
  // standard input is not a terminal): they then end after a bounded time.
  bool abortable = true;
  hardware::ResourceLookup resources;
  bool terminal = false;
  // Ends the process with the given status (after "Please stand by...").
  std::function<void(int status)> endProcess;
  // The appended start-up script, if any.
  std::function<std::optional<QStringList>()> readScript;
  // Makes the graphical window for "gui" (the window calls back through the
  // host). Empty where none can open: "gui" then says why.
  std::function<gui::GuiWindow*(gui::GuiHost& host)> makeGuiWindow;
  // Opens the window's web links; null: opening reports that it cannot.
  platform::UrlOpener* urlOpener = nullptr;
  // Writes and opens the submission page of one score; empty: the submit subsystem's.
  std::function<Result<void>(int index)> uploadScore;
  // Conditions that spoil a measurement, and problems with the run records,
  // told apart from the console's lines (the terminal's standard error).
  // Empty: the record alone keeps the warnings; problems become console lines.
  std::function<void(const QString&)> warn = {};
  // The range kernel forced from the start (ROOTIX_KERNEL); nullopt: the timed choice.
  std::optional<engine::Kernel> forcedKernel = std::nullopt;
};

// The central controller: owns the console, the interpreter and the
// subsystems, wires them together, and runs start-up and shut-down.
class Controller : public QObject {
  Q_OBJECT

 public:
  Controller(ControllerParts parts, const Switches& switches);
  ~Controller() override;

  // Prints the welcome line and runs the start-up script or commands.
  void Form_Load();
  // "exit": prints "Please stand by..." and ends the process.
  void Form_Unload();

  console::Console& console() { return console_; }
  console::Interpreter& interpreter() { return interp_; }
  // What the graphical window uses of the program.
  gui::GuiHost& guiHost();

 private:
  void registerCommands();
  void runScript(const QStringList& lines);
  // -json= and -repeat= values that cannot be used, said once at start.
  void reportSwitchProblems();
  bool runMode() const { return !switches_.runTest.isEmpty() || !switches_.stress.isEmpty(); }
  void startStressSwitch();

  struct Subsystems;
  const ControllerParts parts_;
  Switches switches_;
  QStringList cmdArgs_;  // the command line split at every single space
  console::Console console_;
  console::Interpreter interp_;
  console::Accumulator accumulator_;
  console::ShellCommands shellCommands_;
  QTimer killTimer_;
  bool stressSwitchRun_ = false;  // the -stress= run is under way
  std::unique_ptr<Subsystems> subsystems_;
};

}  // namespace rootix::app
