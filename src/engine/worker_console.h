#pragma once

#include <QString>
#include <cstdint>

namespace rootix::engine {

// A worker's results as handed to `output`: values[i] for low < i <= high.
// The value of `low` travels apart (lowValue) because the neighbouring worker
// writes that shared element of the run's array and may not have done so yet.
struct WorkerResults {
  const double* values = nullptr;  // indexed by the number itself
  int32_t low = 0;
  int32_t high = 0;
  double lowValue = 0;

  double at(int32_t i) const { return i == low ? lowValue : values[i]; }
};

// What a worker tells about its range when it has computed it.
struct WorkerSummary {
  int16_t threadId = 0;
  int32_t first = 0;
  int32_t last = 0;
  double seconds = 0;  // from the worker's start to its last number
  int cpu = -1;        // the processor it finished on (-1 unknown)
};

// The main window as a worker sees it. Calls reach the main thread in the
// order a worker makes them. output, complete and fail return once the main
// thread has run them; PrintLn and signal may return before; GetTime may be
// answered on the worker's own thread from the run clock.
class WorkerConsole {
 public:
  virtual ~WorkerConsole() = default;

  virtual void PrintLn(const QString& line) = 0;
  // Seconds since the run started.
  virtual double GetTime() = 0;
  virtual void output(const WorkerResults& results, int16_t threadId) = 0;
  virtual void complete(bool quiet, bool error) = 0;
  // Heartbeat; the main window does nothing with it.
  virtual void signal() = 0;
  // The run cannot go on ("Cheat detected.", a failure inside the worker):
  // the main window prints the message and ends the program.
  virtual void fail(const QString& message) = 0;
  // The worker's range is done (before output and complete); may return
  // before the main thread has taken it.
  virtual void finished(const WorkerSummary&) {}
};

}  // namespace rootix::engine
