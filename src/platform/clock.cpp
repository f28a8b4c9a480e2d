#include "platform/clock.h"

#include <chrono>

namespace rootix::platform {

double SteadyClock::now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace rootix::platform
