#include "engine/engine_commands.h"

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

void registerEngineCommands(const EngineConsole& console, TestRunner& runner, ProcessorSource& processors,
                            KernelChoice& kernels) {
  platform::CommandTable& commands = console.commands;
  // Each handler keeps its own copy of the printer.
  struct Printer {
    platform::LinePrinter print;
    void PrintLn(const QString& line) const { print(line); }
  };
  const Printer con{console.print};
  auto add = [&commands](const char16_t* word, platform::CommandTable::Handler h) {
    commands.add(QString::fromUtf16(word), std::move(h));
  };

  add(u"sqrt", [con](platform::CommandCall& c) { con.PrintLn(num::formatGeneral(Newton().Sqrt(c.number()))); });
  add(u"st", [con, &runner](platform::CommandCall& c) {
    const int16_t k = c.whole16();
    if (k >= kFirstTest && k <= kLastTest) {
      runner.StartTest(k, false);
    } else {
      con.PrintLn(QStringLiteral("Invalid test"));
    }
  });
  add(u"lt", [select = console.selectTest, &runner](platform::CommandCall&) {
    const int16_t k = select();
    if (k >= kFirstTest && k <= kLastTest) runner.StartTest(k, false);
  });
  add(u"qt", [&runner](platform::CommandCall&) { runner.StartTest(kDebugTest, false); });
  add(u"initthread", [&runner](platform::CommandCall&) { runner.InitThreads(); });
  add(u"getbasichw", [&runner, &processors](platform::CommandCall&) { runner.ScanSystem(processors); });
  add(u"stresscpu", [&runner](platform::CommandCall&) { runner.StressCPU(); });
  add(u"refhw", [print = console.print, &runner, &processors](platform::CommandCall&) {
    runner.threadCount().set(QueryProcessors(print, processors));
  });
  RunFlags& flags = runner.flags();
  add(u"qm", [con, &flags](platform::CommandCall&) {
    flags.quickMode = !flags.quickMode;
    con.PrintLn(QStringLiteral("qm=") + num::formatFlag(flags.quickMode));
  });
  add(u"tc", [con, &flags](platform::CommandCall&) {
    flags.cache = !flags.cache;
    con.PrintLn(QStringLiteral("Cache mode set to: ") + num::formatFlag(flags.cache));
  });
  registerKernelCommand(commands, console.print, kernels);
}

}  // namespace rootix::engine
