#include "hardware/waiter.h"

#include <chrono>

#include "platform/events.h"

namespace rootix::hardware {

void EventLoopWaiter::pumpEvents() { platform::pumpEvents(); }

void EventLoopWaiter::idle(int ms) {
  if (ms <= 0) return;
  // Never done: runs events until the time is up.
  platform::waitUntil([] { return false; }, ms, ms);
}

int64_t EventLoopWaiter::nowMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

}  // namespace rootix::hardware
