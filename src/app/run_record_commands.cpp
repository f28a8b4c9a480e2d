#include "app/run_record_commands.h"

#include "app/repeat_runs.h"
#include "app/run_completion.h"
#include "app/run_record.h"
#include "console/console.h"
#include "platform/command_call.h"
#include "platform/command_table.h"

namespace rootix::app {
namespace {
constexpr int kFirstTest = 1;
constexpr int kLastTest = 16;
}  // namespace

void registerRunRecordCommands(platform::CommandTable& commands, console::Console& con, RunRecorder& recorder,
                               RunCompletion& completion, std::function<void(int16_t test)> startTest) {
  commands.add(QStringLiteral("json"), [&con, &recorder](platform::CommandCall& c) {
    // The whole rest of the line is the path: a path may hold spaces.
    const QString path = c.plainArg().trimmed();
    if (path.isEmpty()) {
      con.PrintLn(recorder.path().isEmpty() ? QStringLiteral("Run records are off.")
                                            : QStringLiteral("Run records go to: ") + recorder.path());
      return;
    }
    if (path == u"off") {
      recorder.off();
      con.PrintLn(QStringLiteral("Run records are off."));
      return;
    }
    const Result<void> set = recorder.setPath(path);
    const QString& why = set.failure().text;
    con.PrintLn(set ? QStringLiteral("Run records go to: ") + path
                    : QStringLiteral("Cannot write run records to '") + path + QStringLiteral("': ") + why + u'.');
  });
  commands.add(QStringLiteral("repeat"), [&con, &completion, startTest](platform::CommandCall& c) {
    const QStringList words = c.plainArg().split(u' ', Qt::SkipEmptyParts);
    if (words.size() != 2) {
      con.PrintLn(QStringLiteral("Syntax: repeat <count> <test>"));
      return;
    }
    const std::optional<int> count = parseRepeatCount(words[0]);
    if (!count) {
      con.PrintLn(invalidRepeatMessage(words[0]));
      return;
    }
    bool ok = false;
    const int test = words[1].toInt(&ok);
    if (!ok || test < kFirstTest || test > kLastTest) {
      con.PrintLn(QStringLiteral("Invalid test"));
      return;
    }
    completion.repeat().start(static_cast<int16_t>(test), *count);
    try {
      startTest(static_cast<int16_t>(test));
    } catch (...) {
      completion.repeat().start(0, 0);  // no series without its first run
      throw;
    }
  });
}

}  // namespace rootix::app
