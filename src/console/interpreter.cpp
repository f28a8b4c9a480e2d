#include "console/interpreter.h"

#include <QCoreApplication>
#include <QTimer>
#include <new>

#include "console/console.h"
#include "platform/runtime_error.h"

namespace rootix::console {

Interpreter::Interpreter(Console& console) : console_(console) {}

void Interpreter::doInput(const QString& cmd, bool noReturn) {
  QString line = cmd;
  bool lineNoReturn = noReturn;
  // The chain: each command may ask for the next line. A loop, not recursion.
  while (!stopped_ && runOne(line, lineNoReturn)) {
    if (stopped_) return;
    line = console_.getInput();
    lineNoReturn = false;
  }
}

bool Interpreter::runOne(const QString& cmd, bool noReturn) {
  try {
    if (platform::IsCommand(QStringLiteral("resumeinput"), cmd)) {
      if (console_.inputPaused()) {
        const QStringList queued = console_.takeQueue();
        for (const QString& line : queued) doInput(line, true);
      } else {
        console_.PrintLn(QStringLiteral("Error: Input not paused."));
      }
    } else if (console_.inputPaused()) {
      console_.queueLine(cmd);
    } else {
      if (const platform::CommandTable::Handler* handler = commands_.find(cmd)) {
        platform::CommandCall call(cmd, noReturn);
        (*handler)(call);
      } else {
        console_.PrintLn(QStringLiteral("Unregistered command"));
      }
    }
  } catch (const RuntimeError& e) {
    return reportError(e.code());
  } catch (const std::bad_alloc&) {
    return reportError(kOutOfMemory);
  } catch (const std::exception&) {
    return reportError(kInvalidProcedureCall);
  }
  return !stopped_ && !noReturn && !testRunning() && !platform::IsCommand(QStringLiteral("gui"), cmd);
}

bool Interpreter::reportError(int code) {
  console_.PrintLn(errorOccured(code));
  return !stopped_;  // the error path always reads the next line
}

void Interpreter::resumeChain(const QString& firstCommand) {
  auto resume = [this, firstCommand] {
    if (stopped_) return;
    if (!firstCommand.isEmpty()) {
      doInput(firstCommand, false);
      return;
    }
    // A chain already waiting for a line simply goes on; never two prompts.
    if (console_.waitingForInput() || testRunning()) return;
    doInput(console_.getInput(), false);
  };
  if (!QCoreApplication::instance()) {
    resume();
    return;
  }
  QTimer::singleShot(0, QCoreApplication::instance(), resume);
}

}  // namespace rootix::console
