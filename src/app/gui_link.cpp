#include "app/gui_link.h"

#include "app/run_completion.h"
#include "console/console.h"
#include "console/interpreter.h"
#include "scores/score_book.h"
#include "scores/thread_count.h"
#include "submit/server_address.h"

namespace rootix::app {

GuiLink::GuiLink(console::Interpreter& interpreter, scores::ThreadCount& threads, scores::ScoreBook& book,
                 const scores::HardwareSummary& hardware, const submit::ServerAddress& server,
                 RunCompletion& completion, GuiLinkParts parts)
    : interp_(interpreter),
      threads_(threads),
      book_(book),
      hardware_(hardware),
      server_(server),
      completion_(completion),
      parts_(std::move(parts)) {}

GuiLink::~GuiLink() {
  if (window_) window_->release();
}

bool GuiLink::openWindow() {
  if (!parts_.makeWindow) return false;
  gui::GuiWindow* window = parts_.makeWindow(*this);
  if (!window) return false;
  gui::GuiWindow* earlier = window_;
  window_ = window;
  window_->showWindow();
  parts_.face.setVisible(false);
  // A window hidden for a run is not kept hidden for ever.
  if (earlier) earlier->release();
  return true;
}

void GuiLink::doInput(const QString& cmd, bool noReturn) { interp_.doInput(cmd, noReturn); }

QString GuiLink::getInput() { return interp_.console().getInput(); }

int GuiLink::threads() const { return threads_.value(); }

void GuiLink::setRevertToGui(bool on) { completion_.setRevertToGui(on); }

bool GuiLink::consoleVisible() const { return parts_.face.isVisible(); }

void GuiLink::setConsoleVisible(bool visible) { parts_.face.setVisible(visible); }

void GuiLink::appendConsoleBreak() { interp_.console().PrintCh(QStringLiteral("\r\n")); }

void GuiLink::guiClosed() {
  gui::GuiWindow* closed = window_;
  window_ = nullptr;
  if (closed) closed->release();
}

scores::ScoreList& GuiLink::scores() { return book_.list(); }

const scores::HardwareSummary& GuiLink::hardware() const { return hardware_; }

int GuiLink::takeRecordsIntoScores() { return book_.takeRecordsIntoScores(hardware_); }

QString GuiLink::serverBase() const { return server_.base(); }

platform::UrlOpener& GuiLink::urlOpener() { return parts_.urlOpener; }

Result<void> GuiLink::uploadScore(int index) { return parts_.uploadScore(index); }

void GuiLink::endProcess() {
  interp_.requestStop();
  if (parts_.endProcess) parts_.endProcess(completion_.exitStatus());
}

}  // namespace rootix::app
