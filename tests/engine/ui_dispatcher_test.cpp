#include "engine/ui_dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/events.h"
#include "platform/runtime_error.h"

namespace rootix::engine {
namespace {

// A worker thread that is always joined, also when an assertion fails.
class Worker {
 public:
  template <class F>
  explicit Worker(F&& f)
      : thread_([this, f = std::forward<F>(f)]() mutable {
          f();
          done = true;
        }) {}
  ~Worker() {
    platform::waitUntil([this] { return done.load(); }, 5, 30000);
    thread_.join();
  }
  std::atomic<bool> done{false};

 private:
  std::thread thread_;
};

TEST(UiDispatcher, RunsCallsOnTheUiThreadInTheirOrder) {
  UiDispatcher dispatcher;
  dispatcher.setBatching(true);
  const auto ui = std::this_thread::get_id();
  std::vector<int> seen;  // touched on the UI thread only
  bool allOnUi = true;
  Worker worker([&] {
    for (int i = 0; i < 1000; ++i) {
      dispatcher.post([&, i] {
        allOnUi = allOnUi && std::this_thread::get_id() == ui;
        seen.push_back(i);
      });
    }
    // A waiting call comes after every line posted before it.
    size_t seenByCall = 0;
    dispatcher.call([&] { seenByCall = seen.size(); });
    EXPECT_EQ(seenByCall, 1000u);
  });
  platform::waitUntil([&] { return worker.done.load(); }, 5, 30000);
  ASSERT_EQ(seen.size(), 1000u);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(seen[size_t(i)], i);
  EXPECT_TRUE(allOnUi);
}

TEST(UiDispatcher, CallRethrowsOnTheCaller) {
  UiDispatcher dispatcher;
  int code = 0;
  Worker worker([&] {
    try {
      dispatcher.call([] { throw RuntimeError(kOutOfMemory); });
    } catch (const RuntimeError& e) {
      code = e.code();
    }
  });
  platform::waitUntil([&] { return worker.done.load(); }, 5, 30000);
  EXPECT_EQ(code, kOutOfMemory);
}

TEST(UiDispatcher, OnTheUiThreadRunsAtOnce) {
  UiDispatcher dispatcher;
  int runs = 0;
  dispatcher.post([&] { ++runs; });
  dispatcher.call([&] { ++runs; });
  EXPECT_EQ(runs, 2);
}

// A worker that posts faster than the UI thread takes the calls waits once
// the queue is full, and goes on when the UI thread catches up.
TEST(UiDispatcher, FullQueueHoldsThePoster) {
  UiDispatcher dispatcher;
  dispatcher.setBatching(true);
  constexpr int kExtra = 10;
  std::atomic<int> posted{0};
  int ran = 0;
  Worker worker([&] {
    for (size_t i = 0; i < UiDispatcher::kMaxQueued + kExtra; ++i) {
      dispatcher.post([&] { ++ran; });
      ++posted;
    }
  });
  // The UI thread lets no events run meanwhile.
  for (int i = 0; i < 200 && posted.load() < int(UiDispatcher::kMaxQueued); ++i) platform::sleepMs(10);
  platform::sleepMs(50);
  EXPECT_EQ(posted.load(), int(UiDispatcher::kMaxQueued));
  EXPECT_EQ(ran, 0);
  platform::waitUntil([&] { return worker.done.load() && ran == int(UiDispatcher::kMaxQueued) + kExtra; }, 5, 30000);
  EXPECT_EQ(ran, int(UiDispatcher::kMaxQueued) + kExtra);
}

}  // namespace
}  // namespace rootix::engine
