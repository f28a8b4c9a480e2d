#pragma once

#include <QString>
#include <cstdint>
#include <functional>

namespace rootix::hardware {

// Where the hardware code prints its console lines (the console's PrintLn).
using PrintFn = std::function<void(const QString&)>;

// How the hardware code waits on the user-interface thread. The program's
// waits keep window events, timers and worker callbacks running; tests
// replace them with a clock of their own so a 60-second wait takes no time.
class Waiter {
 public:
  virtual ~Waiter() = default;
  // Lets pending events run once.
  virtual void pumpEvents() = 0;
  // Waits about ms milliseconds while events keep running.
  virtual void idle(int ms) = 0;
  // Monotonic milliseconds, for bounding waits.
  virtual int64_t nowMs() = 0;
};

// The real one, on the platform's event loop.
class EventLoopWaiter final : public Waiter {
 public:
  void pumpEvents() override;
  void idle(int ms) override;
  int64_t nowMs() override;
};

}  // namespace rootix::hardware
