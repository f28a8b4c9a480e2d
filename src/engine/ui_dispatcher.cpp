#include "engine/ui_dispatcher.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdint>
#include <system_error>

namespace rootix::engine {

UiDispatcher::UiDispatcher() : uiThread_(std::this_thread::get_id()) {
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  notifier_ = std::make_unique<QSocketNotifier>(wakeFd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
    {
      std::lock_guard lock(mutex_);
      wakePending_ = false;
    }
    drain();
  });
  batchTimer_ = std::make_unique<QTimer>();
  batchTimer_->setInterval(kBatchMs);
  QObject::connect(batchTimer_.get(), &QTimer::timeout, batchTimer_.get(), [this] { drain(); });
}

UiDispatcher::~UiDispatcher() {
  batchTimer_.reset();
  notifier_.reset();
  ::close(wakeFd_);
  // Only posted calls can be left: a waiting caller would still hold its own.
  std::lock_guard lock(mutex_);
  for (Pending* pending : queue_) {
    if (pending->posted) delete pending;
  }
  queue_.clear();
}

void UiDispatcher::wakeLocked() {
  if (wakePending_) return;
  wakePending_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void UiDispatcher::enqueue(Pending* pending, bool urgent) {
  queue_.push_back(pending);
  if (urgent || !batching_ || queue_.size() >= kWakeBatch) wakeLocked();
}

void UiDispatcher::setBatching(bool on) {
  {
    std::lock_guard lock(mutex_);
    batching_ = on;
    // Whatever was left for the next round is taken at once instead.
    if (!on && !queue_.empty()) wakeLocked();
  }
  if (on) {
    batchTimer_->start();
  } else {
    batchTimer_->stop();
  }
}

void UiDispatcher::call(const std::function<void()>& fn) {
  if (onUiThread()) {
    fn();
    return;
  }
  Pending pending;
  pending.fn = &fn;
  std::unique_lock lock(mutex_);
  enqueue(&pending, true);
  pending.doneCv.wait(lock, [&pending] { return pending.done; });
  if (pending.error) std::rethrow_exception(pending.error);
}

void UiDispatcher::post(std::function<void()> fn) {
  if (onUiThread()) {
    fn();
    return;
  }
  auto pending = std::make_unique<Pending>();
  pending->owned = std::move(fn);
  pending->fn = &pending->owned;
  pending->posted = true;
  std::unique_lock lock(mutex_);
  // A worker that prints faster than the UI thread shows its lines waits
  // here instead of growing the queue without bound.
  if (queue_.size() >= kMaxQueued) {
    ++spaceWaiters_;
    spaceCv_.wait(lock, [this] { return queue_.size() < kMaxQueued; });
    --spaceWaiters_;
  }
  enqueue(pending.release(), false);
}

void UiDispatcher::drain() {
  // A call may let events run (console output does), so drains can nest; each
  // takes whatever is queued at that moment, in order.
  for (;;) {
    Pending* pending = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      pending = queue_.front();
      queue_.pop_front();
      // One slot freed: one waiting worker may go on.
      if (spaceWaiters_ > 0) spaceCv_.notify_one();
    }
    std::exception_ptr error;
    try {
      (*pending->fn)();
    } catch (...) {
      error = std::current_exception();
    }
    if (pending->posted) {
      delete pending;
      continue;
    }
    std::lock_guard lock(mutex_);
    pending->error = error;
    pending->done = true;
    // Notified under the lock: the caller cannot return and destroy `pending`
    // before this thread has let go of it.
    pending->doneCv.notify_one();
  }
}

}  // namespace rootix::engine
