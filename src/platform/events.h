#pragma once

#include <functional>

// Waiting on the UI thread while its events keep running. Every long wait of
// the program (a console line, the warm-up run, the hardware report) goes
// through these, so callbacks from workers and timers are served meanwhile.
namespace rootix::platform {

// Lets pending events of the current thread run once.
void pumpEvents();

// Sleeps without running events.
void sleepMs(int ms);

// Runs events until done() is true, checking at least every pollMs (and at
// once whenever an event was handled). Returns when done() is true, or false
// once timeoutMs (if >= 0) has passed.
bool waitUntil(const std::function<bool()>& done, int pollMs = 100, int timeoutMs = -1);

// Wakes a waitUntil on this thread so it re-checks its condition at once.
void wakeWaiters();

}  // namespace rootix::platform
