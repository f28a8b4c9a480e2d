#include "engine/processor_report.h"

#include <algorithm>
#include <exception>

#include "platform/events.h"
#include "scores/thread_count.h"

namespace rootix::engine {

QString processorReport(const std::vector<ProcessorPackage>& packages) {
  static const QString kLineEnd = QStringLiteral("\r\n");
  QString text;
  int count = 0;
  for (const ProcessorPackage& pkg : packages) {
    text += QStringLiteral("CPU Found: CPU") + QString::number(count) + kLineEnd;
    text += QStringLiteral("Name:     ") + pkg.name.trimmed() + kLineEnd;
    text += QStringLiteral("Speed:    ") + QString::number(pkg.clockMHz) + QStringLiteral(" MHz") + kLineEnd;
    text += QStringLiteral("L2 Cache: ") + QString::number(pkg.l2KB) + QStringLiteral(" KB") + kLineEnd;
    ++count;
  }
  return text;
}

int16_t QueryProcessors(const platform::LinePrinter& print, ProcessorSource& source) {
  platform::pumpEvents();
  std::vector<ProcessorPackage> packages;
  try {
    packages = source.packages();
  } catch (const std::exception&) {
    packages.clear();
  }
  if (packages.empty()) {
    print(QStringLiteral("Unable to access WMI object. Cannot detect CPU."));
    print(QStringLiteral("Setting default thread usage to 1. Please use ft <thread count> to match your platform."));
    return 1;
  }
  print(processorReport(packages));
  return static_cast<int16_t>(std::min<size_t>(packages.size(), scores::ThreadCount::kMax));
}

}  // namespace rootix::engine
