#include "app/run_completion.h"

#include "console/console.h"
#include "console/interpreter.h"
#include "platform/files.h"
#include "platform/runtime_error.h"
#include "platform/text.h"

namespace rootix::app {
namespace {

constexpr int kRunErrorStatus = 1;
constexpr int kMarkerFailedStatus = 2;

}  // namespace

RunCompletion::RunCompletion(console::Interpreter& interpreter, QString savePath, bool exitAfterRun)
    : interp_(interpreter), savePath_(std::move(savePath)), exitAfterRun_(exitAfterRun) {}

bool RunCompletion::runFinished(const engine::RunResult& result) {
  // The marker file and the exit belong to the run that was asked for, not
  // to the quiet warm-up run before it.
  if (!result.quiet) {
    int status = result.errors ? kRunErrorStatus : 0;
    if (!savePath_.isEmpty() && !writeMarkerFile() && status == 0) status = kMarkerFailedStatus;
    if (exitAfterRun_) interp_.console().setPendingInput(QStringLiteral("exit"));
    exitStatus_ = status;
  }
  if (!revertToGui_) return false;
  revertToGui_ = false;
  // Deferred like the console's own turn: the finishing worker goes first.
  interp_.resumeChain(QStringLiteral("gui"));
  return true;
}

void RunCompletion::stressFinished(int status) {
  exitStatus_ = status;
  if (exitAfterRun_) interp_.console().setPendingInput(QStringLiteral("exit"));
}

bool RunCompletion::writeMarkerFile() {
  console::Console& con = interp_.console();
  try {
    platform::files::createNew(savePath_, text::toSingleByte(QStringLiteral("Not done yet")));
    return true;
  } catch (const RuntimeError& e) {
    if (e.code() == kFileAlreadyExists) {
      con.PrintLn(QStringLiteral("ERROR: Output file '") + savePath_ + QStringLiteral("' already exists"));
    } else {
      con.PrintLn(QStringLiteral("Error occured: ") + QString::number(e.code()) + u'.');
    }
    return false;
  }
}

}  // namespace rootix::app
