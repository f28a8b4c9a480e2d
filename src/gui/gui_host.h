#pragma once

#include <QString>

#include "platform/result.h"

namespace rootix::scores {
class ScoreList;
struct HardwareSummary;
}  // namespace rootix::scores

namespace rootix::platform {
class UrlOpener;
}

namespace rootix::gui {

// What the graphical window needs of the rest of the program. The window is
// a client: it writes command lines into the console's interpreter and uses
// the scores; nothing here lets it reach into another module's state.
class GuiHost {
 public:
  virtual ~GuiHost() = default;

  // The console's interpreter, exactly as if the line had been typed.
  virtual void doInput(const QString& cmd, bool noReturn) = 0;
  // Reads one console line (the console's prompt and wait).
  virtual QString getInput() = 0;

  // The worker count the console uses now.
  virtual int threads() const = 0;
  // Buttons 0 and 1: when the run completes, "gui" opens a new window.
  virtual void setRevertToGui(bool on) = 0;

  // The console window's visibility (key 192 turns it over).
  virtual bool consoleVisible() const = 0;
  virtual void setConsoleVisible(bool visible) = 0;
  // Key 192: the console's output gets a line break.
  virtual void appendConsoleBreak() = 0;
  // Key 192 closed this window: the console no longer has one.
  virtual void guiClosed() = 0;

  // The program-wide scores and the hardware summary new scores copy.
  virtual scores::ScoreList& scores() = 0;
  virtual const scores::HardwareSummary& hardware() const = 0;
  // Turns the records of tests 1..11 into scores (once) and clears them;
  // returns how many scores were appended.
  virtual int takeRecordsIntoScores() = 0;

  // The result server's base address, without a trailing slash.
  virtual QString serverBase() const = 0;
  virtual platform::UrlOpener& urlOpener() = 0;
  // Writes the submission page for scores(index) and opens it in the
  // browser; a failure says why in its text.
  virtual Result<void> uploadScore(int index) = 0;

  // Exit button and close box: the process ends at once.
  virtual void endProcess() = 0;
};

// The graphical window as the program's controller sees it.
class GuiWindow {
 public:
  virtual ~GuiWindow() = default;
  // "guiloadon" / "guiloadoff".
  virtual void loading(bool on) = 0;
  virtual bool isLoading() const = 0;
  // Shows the window (the "gui" command).
  virtual void showWindow() = 0;
  // The controller lets go of a window it replaces (deleteLater for a widget).
  virtual void release() = 0;
};

}  // namespace rootix::gui
