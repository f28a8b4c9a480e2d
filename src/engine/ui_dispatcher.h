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
  static constexpr std::size_t kMaxQueued = 8192;

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
  // Queues under the lock; wakes the UI thread when the queue was empty (a
  // drain under way takes everything queued after it).
  void enqueue(Pending* pending, std::unique_lock<std::mutex>& lock);
  void drain();

  std::thread::id uiThread_;
  int wakeFd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::mutex mutex_;
  std::deque<Pending*> queue_;
  std::condition_variable spaceCv_;
  int spaceWaiters_ = 0;
};

}  // namespace rootix::engine
