#pragma once

#include <QRegularExpression>
#include <QStringList>
#include <memory>
#include <vector>

#include "app/run_completion.h"
#include "console/shell_commands.h"
#include "engine/engine_commands.h"
#include "engine/kernel_choice.h"
#include "engine/processor_source.h"
#include "engine/test_runner.h"
#include "engine_fakes.h"
#include "platform/events.h"
#include "platform/runtime_error.h"
#include "support/shell_harness.h"

namespace rootix::engine::fakes {

// Processor packages as a test sets them; `failing` makes the query fail.
class FakeProcessors : public ProcessorSource {
 public:
  std::vector<ProcessorPackage> list{{QStringLiteral("Test CPU 3000"), 3000, 512}};
  bool failing = false;
  std::vector<ProcessorPackage> packages() override {
    if (failing) throw RuntimeError(kPathFileAccessError, "no processor information");
    return list;
  }
};

// Keeps what the runner tells at the end of each run; handOver says the
// console's chain is not resumed (as when the graphical window takes over).
class RecordingListener : public RunListener {
 public:
  std::vector<RunResult> finished;
  bool handOver = false;
  bool runFinished(const RunResult& result) override {
    finished.push_back(result);
    return handOver;
  }
};

// Gives every run the same stand-in kernel.
class FixedKernel : public KernelSource {
 public:
  explicit FixedKernel(KernelFunction kernel) : kernel_(std::move(kernel)) {}
  RunKernel kernelForRun() override { return RunKernel{kernel_, "stand-in", false}; }

 private:
  KernelFunction kernel_;
};

// A console shell with the engine's commands, a stepping run clock and hooks
// that record instead of ending the process. Runs use `kernel`, or (empty) the
// shell's kernel choice, which the "kernel" command changes.
class EngineShell {
 public:
  EngineShell() : EngineShell(nullptr) {}
  explicit EngineShell(KernelFunction kernel) : fixedKernel(kernel) {
    TestRunner::Hooks hooks;
    hooks.endProgram = [this](int status) { endStatuses.push_back(status); };
    hooks.availableMemory = [this] { return availableMemory; };
    // The program's own hand-back and run gate: the console's chain goes on
    // after a run exactly as in the program.
    hooks.handBack = [this] { app::handBackToConsole(shell.interp); };
    runner = std::make_unique<TestRunner>([this](const QString& line) { shell.console.PrintLn(line); }, shell.threads,
                                          shell.scoreBook.records(),
                                          kernel ? static_cast<KernelSource&>(fixedKernel) : kernels, &clock, hooks);
    gate = std::make_unique<app::RunnerGate>(*runner);
    shell.interp.setRunGate(gate.get());
    runner->setListener(&listener);
    registerEngineCommands(
        EngineConsole{shell.interp.commands(), [this](const QString& line) { shell.console.PrintLn(line); },
                      [this] { return console::PrintSelect(shell.interp); }},
        *runner, processors, kernels);
    shell.threads.set(1);
  }
  ~EngineShell() {
    shell.interp.setRunGate(&shell.running);
    runner.reset();
  }

  // Types the lines and lets events run until the console has read past its
  // last line (it then reads "exit") or the program was ended. Returns every
  // printed line, thread identifiers replaced by <id>.
  QStringList session(const QStringList& typed) {
    shell.run(typed);
    waitUntilSettled();
    return printed();
  }

  void waitUntilSettled() {
    platform::waitUntil([this] { return (shell.interp.stopped() || !endStatuses.empty()) && !runner->running(); }, 10,
                        120000);
  }

  // Runs one test through the runner itself, waiting for it to end.
  void runTest(int16_t test, bool quiet = false) {
    shell.sink.data.clear();
    runner->StartTest(test, quiet);
    platform::waitUntil([this] { return !runner->running(); }, 10, 120000);
  }

  QStringList printed() const {
    static const QRegularExpression threadId(QStringLiteral("THREAD#[0-9A-F]+\\."));
    QStringList lines = shell.sink.lines();
    for (QString& line : lines) line.replace(threadId, QStringLiteral("THREAD#<id>."));
    return lines;
  }

  rootix::testing::ShellHarness shell;
  KernelChoice kernels;
  FixedKernel fixedKernel;
  StepClock clock;
  FakeProcessors processors;
  std::int64_t availableMemory = std::int64_t{1} << 40;
  std::vector<int> endStatuses;
  RecordingListener listener;
  std::unique_ptr<TestRunner> runner;
  std::unique_ptr<app::RunnerGate> gate;
};

}  // namespace rootix::engine::fakes
