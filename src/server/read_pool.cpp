#include "server/read_pool.h"

#include <cstdio>
#include <exception>
#include <future>

namespace rootix::server {

ReadPool::ReadPool(int threads, const OpenReader& open, ToServingThread toServingThread)
    : toServingThread_(std::move(toServingThread)) {
  try {
    for (int i = 0; i < threads; ++i) {
      std::promise<void> opened;
      std::future<void> result = opened.get_future();
      threads_.emplace_back([this, &open, &opened] {
        Reader reader;
        try {
          reader = open();
          opened.set_value();
        } catch (...) {
          opened.set_exception(std::current_exception());
          return;
        }
        serve(reader);
      });
      result.get();
    }
  } catch (...) {
    stop();
    throw;
  }
}

ReadPool::~ReadPool() { stop(); }

void ReadPool::stop() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
  }
  ready_.notify_all();
  for (std::thread& t : threads_) {
    if (t.joinable()) t.join();
  }
  threads_.clear();
}

void ReadPool::read(Request request, std::function<void(Reply)> done) {
  {
    std::lock_guard guard(lock_);
    jobs_.push_back({std::move(request), std::move(done)});
  }
  ready_.notify_one();
}

void ReadPool::serve(Reader& reader) {
  while (true) {
    Job job;
    {
      std::unique_lock guard(lock_);
      ready_.wait(guard, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    Reply reply;
    try {
      reply = reader(job.request);
    } catch (...) {
      // The reader answers its own failures; this is the last guard.
      std::fprintf(stderr, "rootix-server: %s %s failed\n", job.request.method.constData(),
                   job.request.target.left(200).constData());
      reply = Reply{500, "text/plain; charset=utf-8", "The server failed to answer this request.\n", {}};
    }
    // The answer and what it holds (the connection) go to the serving
    // thread whole: nothing of it is left to be freed here.
    toServingThread_([done = std::move(job.done), reply = std::move(reply)]() mutable { done(std::move(reply)); });
  }
}

}  // namespace rootix::server
