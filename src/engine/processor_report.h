#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "engine/processor_source.h"
#include "platform/command_table.h"

namespace rootix::engine {

// The report text: one block per package, each line ending in CR LF.
QString processorReport(const std::vector<ProcessorPackage>& packages);

// Queries the processors, prints the report with one PrintLn and returns the
// count. When nothing can be read, prints the two failure lines and returns 1.
int16_t QueryProcessors(const platform::LinePrinter& print, ProcessorSource& source);

}  // namespace rootix::engine
