#pragma once

#include "hardware/report_capture.h"
#include "platform/process_launcher.h"

namespace rootix::app::fakes {

// A launcher that starts nothing (the hardware scan finds no report).
class NoLauncher : public platform::ProcessLauncher {
 public:
  int64_t startDetached(const QString&, const QStringList&) override { return 0; }
  void terminate(int64_t) override {}
};

// The abort key, never held.
class NoKey : public hardware::AbortKey {
 public:
  bool held() override { return false; }
};

}  // namespace rootix::app::fakes
