#pragma once

#include <cstdint>

#include "hardware/hash_table.h"
#include "hardware/waiter.h"
#include "scores/hardware_summary.h"

namespace rootix::hardware {

class ReportCapture;

// What the hardware scans leave for the rest of the program.
struct HardwareState {
  HashTable hwInfo;                 // the last parsed report, replaced by every scan
  scores::HardwareSummary summary;  // copied into every new score
  int32_t hardwareThreads = 0;      // 0 until a scan found a plausible processor
};

// The hardware summary: captures the report (when the tool is installed),
// prints what it found, and takes the values over when the processor clock
// is plausible. Errors (a number too large for its type) propagate to the
// caller; the summary is then left as it was, never half updated.
void GetCPUz(HardwareState& state, ReportCapture& capture, const PrintFn& print);

// The part after the capture, on state.hwInfo.
void summarizeReport(HardwareState& state, const PrintFn& print);

}  // namespace rootix::hardware
