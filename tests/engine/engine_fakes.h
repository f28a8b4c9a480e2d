#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <ostream>
#include <vector>

#include "engine/worker_console.h"
#include "platform/clock.h"

// Readable failure messages for lines and transcripts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace rootix::engine::fakes {

// A worker console that serves every call at once on the calling thread and
// records them in order. GetTime advances by `step` per call.
class RecordingConsole : public WorkerConsole {
 public:
  QStringList events;
  double step = 0.25;
  double now = 0;
  // Set: GetTime returns these first (then continues stepping).
  std::deque<double> scriptedTimes;
  std::vector<WorkerResults> outputs;

  void PrintLn(const QString& line) override { events << line; }
  double GetTime() override {
    if (!scriptedTimes.empty()) {
      now = scriptedTimes.front();
      scriptedTimes.pop_front();
    } else {
      now += step;
    }
    events << QStringLiteral("<time %1>").arg(now);
    return now;
  }
  void output(const WorkerResults& results, int16_t threadId) override {
    outputs.push_back(results);
    events << QStringLiteral("<output %1 %2..%3>").arg(threadId).arg(results.low).arg(results.high);
  }
  void complete(bool quiet, bool error) override { events << QStringLiteral("<complete %1 %2>").arg(quiet).arg(error); }
  void signal() override { events << QStringLiteral("<signal>"); }
  void fail(const QString& message) override { events << QStringLiteral("<fail ") + message + u'>'; }

  // Only the printed lines.
  QStringList lines() const;
};

// A run clock that moves by `step` seconds at every reading; or, while
// `script` holds values, returns those. Workers read it on their threads.
class StepClock : public platform::Clock {
 public:
  double t = 1000;
  double step = 0.001;
  std::deque<double> script;
  double now() override {
    std::lock_guard lock(mutex_);
    if (!script.empty()) {
      t = script.front();
      script.pop_front();
      return t;
    }
    t += step;
    return t;
  }

 private:
  std::mutex mutex_;
};

// Kernels for tests that care about the reporting, not the roots.
void zeroKernel(double first, std::int64_t count, double* out);
// Newton's root, but -1 (non-convergent) for every x with x % 1000 == 7.
void sometimesNonConvergentKernel(double first, std::int64_t count, double* out);
// Newton's root, one number at a time.
void newtonKernel(double first, std::int64_t count, double* out);

}  // namespace rootix::engine::fakes
