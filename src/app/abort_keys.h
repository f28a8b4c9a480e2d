#pragma once

#include "hardware/report_capture.h"

namespace rootix::app {

// Shift held down, where a window system can tell.
class ShiftKey final : public hardware::AbortKey {
 public:
  bool held() override;
};

// The terminal's stand-in for Shift: Ctrl-C while a wait is armed aborts the
// wait instead of the program.
class InterruptKey final : public hardware::AbortKey {
 public:
  bool held() override;
  void arm() override;
  void disarm() override;
};

}  // namespace rootix::app
