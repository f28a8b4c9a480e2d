#include "app/run_completion.h"

#include "console/console.h"
#include "console/interpreter.h"
#include "platform/files.h"
#include "platform/runtime_error.h"
#include "platform/text.h"
#include "scores/score.h"

namespace rootix::app {
namespace {

constexpr int kRunErrorStatus = 1;
constexpr int kMarkerFailedStatus = 2;

}  // namespace

void handBackToConsole(console::Interpreter& interpreter) {
  if (interpreter.console().inputPaused()) {
    interpreter.resumeChain(QStringLiteral("resumeinput"));
  } else {
    interpreter.resumeChain();
  }
}

RunCompletion::RunCompletion(console::Interpreter& interpreter, QString savePath, bool exitAfterRun,
                             const scores::HardwareSummary* hardware)
    : interp_(interpreter),
      savePath_(std::move(savePath)),
      exitAfterRun_(exitAfterRun),
      hardware_(hardware ? *hardware : emptyHardware_) {}

bool RunCompletion::runFinished(const engine::RunResult& ended) {
  engine::RunResult result = ended;
  switch (repeat_.runEnded(ended)) {
    case RepeatRuns::Next::Again:
      // Deferred like the console's own turn: the finishing worker goes first.
      interp_.resumeChain(QStringLiteral("st ") + QString::number(repeat_.test()));
      return true;
    case RepeatRuns::Next::Done:
      for (const QString& line : repeat_.summary()) interp_.console().PrintLn(line);
      // The series' score is its best run.
      if (repeat_.best() > 0) {
        result.seconds = repeat_.best();
      }
      break;
    case RepeatRuns::Next::NotRepeating:
      break;
  }
  // The score file and the exit belong to the run that was asked for, not
  // to the quiet warm-up run before it.
  if (!result.quiet) {
    int status = result.errors ? kRunErrorStatus : 0;
    if (!savePath_.isEmpty() && !writeScoreFile(result) && status == 0) status = kMarkerFailedStatus;
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

bool RunCompletion::writeScoreFile(const engine::RunResult& result) {
  console::Console& con = interp_.console();
  try {
    if (platform::files::exists(savePath_)) throw RuntimeError(kFileAlreadyExists);
    if (result.errors || result.quickMode) {
      // Such a run makes no score: nothing to save.
      con.PrintLn(QStringLiteral("ERROR: No score to save in '") + savePath_ +
                  (result.errors ? QStringLiteral("': the run reported errors") : QStringLiteral("': quick mode")));
      return false;
    }
    // The bytes "save" writes for the score this run made; the records and
    // the score list stay as they are.
    const scores::Score score = scores::Score::Create(result.seconds, result.test, hardware_);
    platform::files::createNew(savePath_, text::toSingleByte(score.toString(false)));
    return true;
  } catch (const RuntimeError& e) {
    if (e.code() == kFileAlreadyExists) {
      con.PrintLn(QStringLiteral("ERROR: Output file '") + savePath_ + QStringLiteral("' already exists"));
    } else {
      con.PrintLn(errorOccured(e.code()));
    }
    return false;
  }
}

}  // namespace rootix::app
