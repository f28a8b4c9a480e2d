#pragma once

namespace rootix::platform {

// A monotonic clock in seconds. Runs are timed with it; tests inject their own.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() = 0;
};

class SteadyClock : public Clock {
 public:
  double now() override;
};

}  // namespace rootix::platform
