#include "engine/kernel_command.h"

#include <QStringList>

#include "console/console.h"
#include "console/interpreter.h"
#include "engine/kernel_choice.h"
#include "platform/command_call.h"

namespace rootix::engine {
namespace {

QString kernelInUseLine() { return QStringLiteral("Kernel in use: ") + QString::fromStdString(describeActiveKernel()); }

QString availableLine() {
  QStringList names;
  for (Kernel kernel : availableKernels()) names << QString::fromStdString(kernelName(kernel));
  return QStringLiteral("Kernels: ") + names.join(QStringLiteral(", ")) + QStringLiteral(", auto");
}

}  // namespace

void registerKernelCommand(console::Interpreter& interpreter) {
  console::Console& con = interpreter.console();
  interpreter.commands().add(QStringLiteral("kernel"), [&con](platform::CommandCall& c) {
    const QString name = c.plainArg().trimmed();
    if (name.isEmpty()) {
      con.PrintLn(kernelInUseLine());
      con.PrintLn(availableLine());
      return;
    }
    if (name.compare(QStringLiteral("auto"), Qt::CaseInsensitive) == 0) {
      forceKernel(std::nullopt);
      con.PrintLn(kernelInUseLine());
      return;
    }
    const std::optional<Kernel> kernel = kernelFromName(name.toStdString());
    if (!kernel) {
      con.PrintLn(QStringLiteral("Unknown kernel: ") + name);
      con.PrintLn(availableLine());
    } else if (!forceKernel(*kernel)) {
      con.PrintLn(QStringLiteral("This processor cannot run ") + QString::fromStdString(kernelName(*kernel)));
      con.PrintLn(availableLine());
    } else {
      con.PrintLn(kernelInUseLine());
    }
  });
}

}  // namespace rootix::engine
