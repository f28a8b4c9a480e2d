#pragma once

#include <QObject>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace rootix::engine {

// Runs calls from worker threads on the thread this object lives on (the UI
// thread), one at a time and in the order they were made.
//
// Qt's blocking queued connection does the same, but its hand-over happens
// inside Qt where ThreadSanitizer cannot see it; here the calls travel under
// a std::mutex and Qt only wakes the UI thread, so sanitizer runs stay clean.
class UiDispatcher : public QObject {
  Q_OBJECT

 public:
  // Calls that may wait in the queue before post() makes its caller wait too.
  static constexpr std::size_t kMaxQueued = 8192;

  explicit UiDispatcher(QObject* parent = nullptr);
  ~UiDispatcher() override;

  // Runs fn on this object's thread and waits for it; an exception thrown by
  // fn is rethrown here. Called on that thread itself, runs fn at once.
  void call(const std::function<void()>& fn);

  // Queues fn to run on this object's thread and returns without waiting
  // (unless kMaxQueued calls are already waiting). Exceptions from fn are
  // dropped. Called on that thread itself, runs fn at once.
  void post(std::function<void()> fn);

 private Q_SLOTS:
  void drain();

 private:
  struct Pending {
    const std::function<void()>* fn = nullptr;
    std::function<void()> owned;  // posted calls carry their own function
    bool posted = false;
    std::exception_ptr error;
    bool done = false;
    std::condition_variable doneCv;
  };

  bool onOwnThread() const;
  // Queues under the lock; wakes the UI thread when the queue was empty (a
  // drain already under way takes everything queued after it).
  void enqueue(Pending* pending, std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::deque<Pending*> queue_;
  std::condition_variable spaceCv_;
  int spaceWaiters_ = 0;
};

}  // namespace rootix::engine
