#include "platform/events.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

namespace rootix::platform {

void pumpEvents() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

void sleepMs(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

bool waitUntil(const std::function<bool()>& done, int pollMs, int timeoutMs) {
  if (done()) return true;
  QElapsedTimer elapsed;
  elapsed.start();
  if (!QCoreApplication::instance()) {
    while (!done()) {
      if (timeoutMs >= 0 && elapsed.elapsed() >= timeoutMs) return false;
      sleepMs(pollMs);
    }
    return true;
  }
  // The ticking timer bounds every blocking wait for events to pollMs.
  QTimer tick;
  tick.start(pollMs);
  while (!done()) {
    if (timeoutMs >= 0 && elapsed.elapsed() >= timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

void wakeWaiters() {
  if (auto* app = QCoreApplication::instance()) {
    if (auto* dispatcher = QAbstractEventDispatcher::instance(app->thread())) dispatcher->wakeUp();
  }
}

}  // namespace rootix::platform
