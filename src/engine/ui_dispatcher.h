#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QSocketNotifier;
class QTimer;

namespace rootix::engine {

// Runs calls from worker threads on the thread that created it (the UI
// thread), one at a time and in the order they were made.
//
// Qt's blocking queued connection does the same, but its hand-over happens
// inside Qt, under locks ThreadSanitizer cannot see. Here the calls travel
// under a std::mutex, and a worker wakes the UI thread's event loop through
// an eventfd it watches, so workers never call into Qt and sanitizer runs
// stay clean.
class UiDispatcher {
 public:
  // Calls that may wait in the queue before post() makes its caller wait too.
  static constexpr std::size_t kMaxQueued = 65536;

  // Create on the UI thread, with its event loop (QCoreApplication) in place.
  UiDispatcher();
  ~UiDispatcher();
  UiDispatcher(const UiDispatcher&) = delete;
  UiDispatcher& operator=(const UiDispatcher&) = delete;

  // Runs fn on the UI thread and waits for it; an exception thrown by fn is
  // rethrown here. Called on the UI thread itself, runs fn at once.
  void call(const std::function<void()>& fn);

  // Queues fn to run on the UI thread and returns without waiting (unless
  // kMaxQueued calls are already waiting). Exceptions from fn are dropped.
  // Called on the UI thread itself, runs fn at once.
  void post(std::function<void()> fn);

  // While batching (a run is in progress), posted calls do not wake the UI
  // thread one by one: it takes them every kBatchMs, or as soon as
  // kWakeBatch are waiting or a call() arrives. Call on the UI thread.
  void setBatching(bool on);
  static constexpr int kBatchMs = 20;
  static constexpr std::size_t kWakeBatch = 256;

 private:
  struct Pending {
    const std::function<void()>* fn = nullptr;
    std::function<void()> owned;  // posted calls carry their own function
    bool posted = false;
    std::exception_ptr error;
    bool done = false;
    std::condition_variable doneCv;
  };

  bool onUiThread() const { return std::this_thread::get_id() == uiThread_; }
  // Queues under the lock; wakes the UI thread unless a wake is already on
  // its way, or batching lets the call wait for the next round.
  void enqueue(Pending* pending, bool urgent);
  void wakeLocked();
  void drain();

  std::thread::id uiThread_;
  int wakeFd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::unique_ptr<QTimer> batchTimer_;
  std::mutex mutex_;
  std::deque<Pending*> queue_;
  std::condition_variable spaceCv_;
  int spaceWaiters_ = 0;
  bool wakePending_ = false;  // the eventfd was written and not yet read
  bool batching_ = false;
};

}  // namespace rootix::engine
