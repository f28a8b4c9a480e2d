#include "engine/ui_dispatcher.h"

#include <QThread>

namespace rootix::engine {

UiDispatcher::UiDispatcher(QObject* parent) : QObject(parent) {}

void UiDispatcher::call(const std::function<void()>& fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return;
  }
  Pending pending;
  pending.fn = &fn;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(&pending);
  }
  // The name-based call carries nothing of ours through Qt: the slot takes the
  // call from the queue under the mutex.
  QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  pending.doneCv.wait(lock, [&pending] { return pending.done; });
  if (pending.error) std::rethrow_exception(pending.error);
}

void UiDispatcher::drain() {
  // A call may let events run (console output does), so drains can nest; each
  // takes whatever is queued at that moment.
  for (;;) {
    Pending* pending = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      pending = queue_.front();
      queue_.pop_front();
    }
    std::exception_ptr error;
    try {
      (*pending->fn)();
    } catch (...) {
      error = std::current_exception();
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
