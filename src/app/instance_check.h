#pragma once

#include <memory>

#include "platform/instance_lock.h"

namespace rootix::app {

// The start-up checks before any console opens: a usable private temporary
// folder (else status 1) and the per-user instance lock (status 3 when
// another Rootix of this user holds it, 1 when the lock cannot be made).
// Warnings and refusals go to standard error, one line each.
struct InstanceCheck {
  int status = 0;  // 0: go on, holding lock
  std::unique_ptr<platform::InstanceLock> lock;
};
InstanceCheck claimInstance();

}  // namespace rootix::app
