#pragma once

#include "hardware/report_capture.h"

namespace rootix::app {

// The terminal's stand-in for Shift: Ctrl-C while a wait is armed aborts the
// wait instead of the program.
class InterruptKey final : public hardware::AbortKey {
 public:
  bool held() override;
  void arm() override;
  void disarm() override;
};

}  // namespace rootix::app
