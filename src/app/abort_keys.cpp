#include "app/abort_keys.h"

#include <signal.h>

#include <atomic>

namespace rootix::app {
namespace {

std::atomic<bool> interrupted{false};
struct sigaction previous {};

void onInterrupt(int) { interrupted.store(true); }

}  // namespace

bool InterruptKey::held() { return interrupted.load(); }

void InterruptKey::arm() {
  interrupted.store(false);
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &previous);
}

void InterruptKey::disarm() {
  ::sigaction(SIGINT, &previous, nullptr);
  interrupted.store(false);
}

}  // namespace rootix::app
