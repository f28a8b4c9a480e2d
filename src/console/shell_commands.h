#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "platform/product.h"

namespace rootix::platform {
class Dialogs;
class Clipboard;
class SettingsStore;
}  // namespace rootix::platform

namespace rootix::console {

class Interpreter;

// What the shell's own commands need from outside the console.
struct ShellServices {
  platform::Dialogs& dialogs;
  platform::Clipboard& clipboard;
  platform::SettingsStore& settings;
  // "exit": unloads the main window and ends the program.
  std::function<void()> exitProgram;
  // Start and delay of the one-second timer of "killdelay".
  std::function<void(bool enable)> setKillTimer;
  // In the terminal there is no window to hide and bring back: "hide" then
  // keeps reading lines instead of leaving the console without input.
  bool hideEndsChain = true;
};

using platform::kProductTitle;

// Registers the commands of the shell itself (echo, print, help, ...) and
// keeps what only they use. The kill timer's ticks go to onKillTimerTick.
class ShellCommands {
 public:
  ShellCommands(Interpreter& interpreter, ShellServices services);
  void registerAll();
  void onKillTimerTick();

  // The words of the command line, for "printcmdline".
  void setCommandArgs(const QStringList& args) { cmdArgs_ = args; }
  // "setsubmitname" and "getstorname" set it.
  const QString& submitName() const { return submitName_; }
  // Toggled by "subhttp"; nothing else reads it.
  void setSubHttp(bool on) { subHttp_ = on; }

 private:
  Interpreter& interp_;
  ShellServices services_;
  int32_t killCount_ = 0;
  int32_t killDelay_ = 0;
  QStringList cmdArgs_;
  QString submitName_;
  bool subHttp_ = false;
};

// The fixed help text, 49 lines.
const QStringList& helpText();

// The test selection menu: prints the 16 sizes, reads a line, returns the
// chosen test (0 for anything outside 1..16).
int16_t PrintSelect(Interpreter& interpreter);

}  // namespace rootix::console
