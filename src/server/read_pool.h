#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "server/request.h"

namespace rootix::server {

// Reads answered on threads of their own, each with its own connection to
// the database: pages are made on every core while the serving thread goes
// on reading requests and storing submissions.
class ReadPool {
 public:
  // How one thread answers a read; it lives and dies on that thread, with
  // the database connection it holds.
  using Reader = std::function<Reply(const Request&)>;
  // Runs on each new thread and gives its reader; what it throws stops the
  // pool from starting.
  using OpenReader = std::function<Reader()>;
  // Hands work to the serving thread.
  using ToServingThread = std::function<void(std::function<void()>)>;

  // Starts the threads one after the other and returns once each has its
  // reader; throws what opening one threw.
  ReadPool(int threads, const OpenReader& open, ToServingThread toServingThread);
  // Finishes the reads under way; those not begun are dropped unanswered.
  ~ReadPool();
  ReadPool(const ReadPool&) = delete;
  ReadPool& operator=(const ReadPool&) = delete;

  // done gets the reply on the serving thread.
  void read(Request request, std::function<void(Reply)> done);

 private:
  struct Job {
    Request request;
    std::function<void(Reply)> done;
  };
  void serve(Reader& reader);
  void stop();

  ToServingThread toServingThread_;
  std::mutex lock_;
  std::condition_variable ready_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace rootix::server
