#pragma once

#include <QString>
#include <array>

namespace rootix::scores {

// The machine's hardware description as the hardware code last found it.
// Every new score copies it; later changes leave existing scores alone.
// Members are named after the score fields they fill, in the same order.
struct HardwareSummary {
  QString score_extra_memType;
  QString score_extra_memSize;
  QString score_extra_memClock;
  QString score_extra_memTCas;
  QString score_extra_memTRCD;
  QString score_extra_memTRP;
  QString score_extra_memTRAS;
  QString score_extra_mbModel;
  QString score_extra_mbVendor;
  QString score_extra_cpu_string;
  QString score_extra_cpu_core;
  QString score_extra_cpu_rev;
  QString score_extra_cpu_clock;
  QString score_extra_cpu_fsb;
  QString score_extra_cpu_cache;
  QString score_extra_cpu_vcore;
  QString score_extra_cpu_count;

  friend bool operator==(const HardwareSummary&, const HardwareSummary&) = default;
};

// All 17 members, in field order, for code that treats them alike.
inline constexpr std::array<QString HardwareSummary::*, 17> kHardwareFields{
    &HardwareSummary::score_extra_memType,   &HardwareSummary::score_extra_memSize,
    &HardwareSummary::score_extra_memClock,  &HardwareSummary::score_extra_memTCas,
    &HardwareSummary::score_extra_memTRCD,   &HardwareSummary::score_extra_memTRP,
    &HardwareSummary::score_extra_memTRAS,   &HardwareSummary::score_extra_mbModel,
    &HardwareSummary::score_extra_mbVendor,  &HardwareSummary::score_extra_cpu_string,
    &HardwareSummary::score_extra_cpu_core,  &HardwareSummary::score_extra_cpu_rev,
    &HardwareSummary::score_extra_cpu_clock, &HardwareSummary::score_extra_cpu_fsb,
    &HardwareSummary::score_extra_cpu_cache, &HardwareSummary::score_extra_cpu_vcore,
    &HardwareSummary::score_extra_cpu_count,
};

}  // namespace rootix::scores
