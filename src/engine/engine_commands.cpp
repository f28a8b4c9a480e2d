#include "engine/engine_commands.h"

#include "console/console.h"
#include "console/interpreter.h"
#include "console/shell_commands.h"
#include "engine/kernel_command.h"
#include "engine/newton.h"
#include "engine/processor_report.h"
#include "engine/test_runner.h"
#include "platform/command_call.h"
#include "platform/numbers.h"
#include "scores/thread_count.h"

namespace rootix::engine {
namespace {
constexpr int kFirstTest = 1;
constexpr int kLastTest = 16;
// The debug test of "qt" and the warm-up run.
constexpr int16_t kDebugTest = -5;
}  // namespace

void registerEngineCommands(console::Interpreter& interpreter, TestRunner& runner, ProcessorSource& processors) {
  console::Interpreter& in = interpreter;
  console::Console& con = in.console();
  auto add = [&in](const char16_t* word, platform::CommandTable::Handler h) {
    in.commands().add(QString::fromUtf16(word), std::move(h));
  };

  add(u"sqrt", [&con](platform::CommandCall& c) { con.PrintLn(num::formatGeneral(Newton().Sqrt(c.number()))); });
  add(u"st", [&con, &runner](platform::CommandCall& c) {
    const int16_t k = c.whole16();
    if (k >= kFirstTest && k <= kLastTest) {
      runner.StartTest(k, false);
    } else {
      con.PrintLn(QStringLiteral("Invalid test"));
    }
  });
  add(u"lt", [&in, &runner](platform::CommandCall&) {
    const int16_t k = console::PrintSelect(in);
    if (k >= kFirstTest && k <= kLastTest) runner.StartTest(k, false);
  });
  add(u"qt", [&runner](platform::CommandCall&) { runner.StartTest(kDebugTest, false); });
  add(u"initthread", [&runner](platform::CommandCall&) { runner.InitThreads(); });
  add(u"getbasichw", [&runner, &processors](platform::CommandCall&) { runner.ScanSystem(processors); });
  add(u"stresscpu", [&runner](platform::CommandCall&) { runner.StressCPU(); });
  add(u"refhw", [&con, &runner, &processors](platform::CommandCall&) {
    runner.threadCount().set(QueryProcessors(con, processors));
  });
  RunFlags& flags = runner.flags();
  add(u"qm", [&con, &flags](platform::CommandCall&) {
    flags.quickMode = !flags.quickMode;
    con.PrintLn(QStringLiteral("qm=") + num::formatFlag(flags.quickMode));
  });
  add(u"tc", [&con, &flags](platform::CommandCall&) {
    flags.cache = !flags.cache;
    con.PrintLn(QStringLiteral("Cache mode set to: ") + num::formatFlag(flags.cache));
  });
  registerKernelCommand(in);
}

}  // namespace rootix::engine
