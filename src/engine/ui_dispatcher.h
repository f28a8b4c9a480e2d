#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace rootix::engine {

// Runs calls from worker threads on the thread this object lives on (the UI
// thread), one at a time, while each caller waits.
//
// Qt's blocking queued connection does the same, but its hand-over happens
// inside Qt where ThreadSanitizer cannot see it; here the call travels under
// a std::mutex and Qt only wakes the UI thread, so sanitizer runs stay clean.
class UiDispatcher : public QObject {
  Q_OBJECT

 public:
  explicit UiDispatcher(QObject* parent = nullptr);

  // Runs fn on this object's thread and waits for it; an exception thrown by
  // fn is rethrown here. Called on that thread itself, runs fn at once.
  void call(const std::function<void()>& fn);

 private Q_SLOTS:
  void drain();

 private:
  struct Pending {
    const std::function<void()>* fn = nullptr;
    std::exception_ptr error;
    bool done = false;
    std::condition_variable doneCv;
  };

  std::mutex mutex_;
  std::deque<Pending*> queue_;
};

}  // namespace rootix::engine
