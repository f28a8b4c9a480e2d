#include "engine/kernel_command.h"

#include <QStringList>

#include "engine/kernel_choice.h"
#include "platform/command_call.h"

namespace rootix::engine {
namespace {

QString kernelInUseLine(KernelChoice& kernels) {
  return QStringLiteral("Kernel in use: ") + QString::fromStdString(kernels.describe());
}

QString availableLine() {
  QStringList names;
  for (Kernel kernel : availableKernels()) names << QString::fromStdString(kernelName(kernel));
  return QStringLiteral("Kernels: ") + names.join(QStringLiteral(", ")) + QStringLiteral(", auto");
}

}  // namespace

void registerKernelCommand(platform::CommandTable& commands, const platform::LinePrinter& print,
                           KernelChoice& kernels) {
  commands.add(QStringLiteral("kernel"), [print, &kernels](platform::CommandCall& c) {
    const QString name = c.plainArg().trimmed();
    if (name.isEmpty()) {
      print(kernelInUseLine(kernels));
      print(availableLine());
      return;
    }
    if (name.compare(QStringLiteral("auto"), Qt::CaseInsensitive) == 0) {
      kernels.force(std::nullopt);
      print(kernelInUseLine(kernels));
      return;
    }
    const std::optional<Kernel> kernel = kernelFromName(name.toStdString());
    if (!kernel) {
      print(QStringLiteral("Unknown kernel: ") + name);
      print(availableLine());
    } else if (!kernels.force(*kernel)) {
      print(QStringLiteral("This processor cannot run ") + QString::fromStdString(kernelName(*kernel)));
      print(availableLine());
    } else {
      print(kernelInUseLine(kernels));
    }
  });
}

}  // namespace rootix::engine
