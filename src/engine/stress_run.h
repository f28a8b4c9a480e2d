#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/stress_options.h"
#include "platform/clock.h"

namespace rootix::engine {

// The machine as the stability test sees it; tests replace it.
class StressSystem {
 public:
  virtual ~StressSystem() = default;
  // The logical processors of the process's affinity mask, in its order.
  virtual std::vector<int> allowedCpus() = 0;
  // Pins the calling thread to one logical processor; false when that failed.
  virtual bool pinCurrentThread(int cpu) = 0;
  // The logical processor the calling thread runs on now (-1 unknown).
  virtual int currentCpu() = 0;
  // The average current clock of these processors, where readable.
  virtual std::optional<double> averageClockMHz(const std::vector<int>& cpus) = 0;
  // The hottest temperature sensor, where readable.
  virtual std::optional<double> hottestCelsius() = 0;
};

// Computes count results from `first` on into out (the kernel under test).
using StressCompute = std::function<void(double first, std::int64_t count, double* out)>;

struct StressPlan {
  StressRequest request;
  int workers = 1;        // one in cycle mode
  std::vector<int> cpus;  // StressSystem::allowedCpus(), not empty
  // Cycle mode: end once every processor had its turn (unattended), instead of going round
  // until stopped.
  bool oneRound = false;
  std::optional<StressInjection> injection;
  StressCompute compute;  // required
  // Wrong results printed per block; the rest are counted.
  int errorLinesPerBlock = 64;
};

struct StressOutcome {
  enum class End { Passed, Failed, Stopped };
  End end = End::Passed;
  bool cycle = false;
  std::int64_t passes = 0;   // whole passes checked
  std::int64_t numbers = 0;  // results checked, partial passes included
  std::int64_t errors = 0;
  double seconds = 0;
  int firstErrorCpu = -1;
  std::int64_t firstErrorPass = 0;
  std::vector<int> errorCpus;  // every processor that erred, ascending
};

// "Stress test passed: ...", "Stress test failed: ..." or "Stress test stopped: ...".
std::string stressVerdictLine(const StressOutcome& outcome);
// The process's exit status after an unattended stress test: 0 passed, 4 errors found,
// 5 stopped without errors.
int stressExitStatus(const StressOutcome& outcome);

// One stability test: workers take whole blocks of the test's passes, compute them with the
// kernel under test, keep the block's results until its hash is checked against the reference
// and locate every wrong result of a block that does not match. The UI thread starts it, polls
// it for lines to print and may stop it; each worker ends after its current block.
class StressRun {
 public:
  StressRun(StressPlan plan, StressSystem& system, platform::Clock& clock);
  ~StressRun();
  StressRun(const StressRun&) = delete;
  StressRun& operator=(const StressRun&) = delete;

  // Throws std::system_error when a thread cannot start (the started ones are stopped).
  void start();
  // Ends the test after each worker's current block; the verdict then says "stopped".
  void requestStop();
  // The lines the workers' news gives since the last call (ERROR lines, pass lines), in
  // order; samples the clock and temperature for the pass under way. UI thread.
  std::vector<std::string> poll();
  // Every worker has ended and poll() has taken all their news.
  bool finished() const { return finished_; }
  // Blocks until a worker reports (or timeoutMs); for waits without an event loop.
  void waitForNews(int timeoutMs);
  StressOutcome outcome() const { return outcome_; }

 private:
  struct Item {
    std::int64_t pass = 0;
    int block = 0;
    int cpu = -1;  // cycle mode: the processor to run it on
  };
  struct WrongResult {
    std::int64_t number = 0;
    std::uint64_t got = 0;
    std::uint64_t expected = 0;
  };
  struct News {
    bool workerEnded = false;
    std::string failure;  // a worker that could not go on
    std::int64_t pass = 0;
    int block = 0;
    int thread = 0;
    int cpu = -1;
    double time = 0;
    std::int64_t errors = 0;
    std::vector<WrongResult> shown;
  };
  struct PassState {
    int checked = 0;
    std::int64_t errors = 0;
    double end = 0;
    int cpu = -1;
    double clockSum = 0;
    int clockSamples = 0;
    std::optional<double> hottest;
  };

  std::optional<Item> grab();
  void work(int thread);
  void checkBlock(const Item& item, int thread, int cpu, std::vector<double>& results);
  void post(News news);
  void sample(PassState& pass);
  std::string passLine(std::int64_t pass, PassState& state);

  StressPlan plan_;
  StressSystem& system_;
  platform::Clock& clock_;
  int blocks_ = 0;
  std::vector<std::thread> threads_;
  std::atomic<bool> stop_{false};

  // Shared with the workers, under mutex_.
  std::mutex mutex_;
  std::condition_variable news_;
  std::int64_t nextItem_ = 0;
  std::int64_t limitItem_ = INT64_MAX;
  double start_ = 0;
  double segmentStart_ = 0;
  std::size_t segment_ = 0;
  std::map<std::int64_t, double> passStart_;
  std::deque<News> inbox_;

  // The UI thread's own.
  std::map<std::int64_t, PassState> passes_;
  std::int64_t nextPassLine_ = 1;
  int endedWorkers_ = 0;
  bool finished_ = false;
  bool failedWorker_ = false;
  double firstErrorTime_ = 0;
  std::set<int> errorCpus_;
  StressOutcome outcome_;
};

}  // namespace rootix::engine
