#include "engine/engine_commands.h"

#include "console/command_call.h"
#include "console/console.h"
#include "console/interpreter.h"
#include "console/shell_commands.h"
#include "console/shell_state.h"
#include "engine/kernel_command.h"
#include "engine/newton.h"
#include "engine/processor_report.h"
#include "engine/test_runner.h"
#include "platform/numbers.h"

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
  auto add = [&in](const char16_t* word, console::Interpreter::Handler h) {
    in.addCommand(QString::fromUtf16(word), std::move(h));
  };

  add(u"sqrt", [&con](console::CommandCall& c) { con.PrintLn(num::formatGeneral(Newton().Sqrt(c.number()))); });
  add(u"st", [&con, &runner](console::CommandCall& c) {
    const int16_t k = c.whole16();
    if (k >= kFirstTest && k <= kLastTest) {
      runner.StartTest(k, false);
    } else {
      con.PrintLn(QStringLiteral("Invalid test"));
    }
  });
  add(u"lt", [&in, &runner](console::CommandCall&) {
    const int16_t k = console::PrintSelect(in);
    if (k >= kFirstTest && k <= kLastTest) runner.StartTest(k, false);
  });
  add(u"qt", [&runner](console::CommandCall&) { runner.StartTest(kDebugTest, false); });
  add(u"initthread", [&runner](console::CommandCall&) { runner.InitThreads(); });
  add(u"getbasichw", [&runner, &processors](console::CommandCall&) { runner.ScanSystem(processors); });
  add(u"stresscpu", [&runner](console::CommandCall&) { runner.StressCPU(); });
  add(u"refhw", [&con, &runner, &processors](console::CommandCall&) {
    runner.setThreadsFromDetection(QueryProcessors(con, processors));
  });
  registerKernelCommand(in);
}

}  // namespace rootix::engine
