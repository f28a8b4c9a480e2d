#pragma once

#include <QString>

#include "gui/gui_host.h"
#include "platform/url_opener.h"

namespace rootix::console {
class Interpreter;
}
namespace rootix::scores {
class ScoreBook;
class ThreadCount;
}  // namespace rootix::scores
namespace rootix::submit {
class ServerAddress;
}

namespace rootix::app {

struct ControllerParts;
class RunCompletion;

// The console's side of the graphical window: keeps the window there is (if
// any) and gives it what it may use of the program, nothing more.
class GuiLink : public gui::GuiHost {
 public:
  GuiLink(console::Interpreter& interpreter, scores::ThreadCount& threads, scores::ScoreBook& book,
          const scores::HardwareSummary& hardware, const submit::ServerAddress& server, RunCompletion& completion,
          const ControllerParts& parts);
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
  // Where no opener was given: says so instead of failing silently.
  class NoUrlOpener : public platform::UrlOpener {
   public:
    Result<void> open(const QUrl& url) override;
  };

  console::Interpreter& interp_;
  scores::ThreadCount& threads_;
  scores::ScoreBook& book_;
  const scores::HardwareSummary& hardware_;
  const submit::ServerAddress& server_;
  RunCompletion& completion_;
  const ControllerParts& parts_;
  NoUrlOpener noUrlOpener_;
  gui::GuiWindow* window_ = nullptr;
};

}  // namespace rootix::app
