#pragma once

#include <QString>
#include <functional>

#include "gui/gui_host.h"
#include "platform/url_opener.h"

namespace rootix::console {
class ConsoleFace;
class Interpreter;
}  // namespace rootix::console
namespace rootix::scores {
class ScoreBook;
class ThreadCount;
}  // namespace rootix::scores
namespace rootix::submit {
class ServerAddress;
}

namespace rootix::app {

class RunCompletion;

// What the window's side needs of the platform, settled when it is built.
struct GuiLinkParts {
  // The console's face: hidden while a window shows.
  console::ConsoleFace& face;
  // Makes the graphical window (it calls back through the host); empty where none can open.
  std::function<gui::GuiWindow*(gui::GuiHost& host)> makeWindow;
  platform::UrlOpener& urlOpener;
  // Writes and opens the submission page of one score.
  std::function<Result<void>(int index)> uploadScore;
  // Ends the process with the given status; empty: nothing ends it.
  std::function<void(int status)> endProcess;
};

// The console's side of the graphical window: keeps the window there is (if
// any) and gives it what it may use of the program, nothing more.
class GuiLink : public gui::GuiHost {
 public:
  GuiLink(console::Interpreter& interpreter, scores::ThreadCount& threads, scores::ScoreBook& book,
          const scores::HardwareSummary& hardware, const submit::ServerAddress& server, RunCompletion& completion,
          GuiLinkParts parts);
  ~GuiLink() override;
  GuiLink(const GuiLink&) = delete;
  GuiLink& operator=(const GuiLink&) = delete;

  // "gui": a new window, shown, replaces the one there was (which is
  // released) and the console hides. False when no window can open here.
  bool openWindow();
  // The window there is now, or null.
  gui::GuiWindow* window() const { return window_; }

  void doInput(const QString& cmd, bool noReturn) override;
  QString getInput() override;
  int threads() const override;
  void setRevertToGui(bool on) override;
  bool consoleVisible() const override;
  void setConsoleVisible(bool visible) override;
  void appendConsoleBreak() override;
  void guiClosed() override;
  scores::ScoreList& scores() override;
  const scores::HardwareSummary& hardware() const override;
  int takeRecordsIntoScores() override;
  QString serverBase() const override;
  platform::UrlOpener& urlOpener() override;
  Result<void> uploadScore(int index) override;
  void endProcess() override;

 private:
  console::Interpreter& interp_;
  scores::ThreadCount& threads_;
  scores::ScoreBook& book_;
  const scores::HardwareSummary& hardware_;
  const submit::ServerAddress& server_;
  RunCompletion& completion_;
  GuiLinkParts parts_;
  gui::GuiWindow* window_ = nullptr;
};

}  // namespace rootix::app
