#pragma once

#include <QHostAddress>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

#include "server/request.h"

namespace rootix::server {

// What one connection may send and hold. Every limit is enforced while the
// request streams in, so no request is ever held beyond them.
struct HttpLimits {
  std::size_t requestLineBytes = 8 * 1024;  // beyond: 414
  std::size_t headerBytes = 16 * 1024;      // the header fields; beyond: 431
  std::size_t headerFields = 100;           // beyond: 431
  std::uint64_t bodyBytes = 1024 * 1024;    // chunked or not; beyond: 413
  int maxConnections = 256;                 // open at once; beyond: 503
  int idleTimeoutMs = 10000;                // a connection with no request under way is closed after this, silently
  int requestTimeoutMs = 60000;             // a request must have arrived whole within this (408)
};

// HTTP/1.1 on one thread: accepts connections, reads requests within the
// limits, hands each whole request to the handler and writes the reply it
// gives, with the headers every reply carries. The handler runs on the
// thread that calls run() and answers through its Answer, at once or later
// (once, on that thread); what it throws becomes a 500.
class HttpListener {
 public:
  using Answer = std::function<void(const Reply&)>;
  using Handler = std::function<void(const Request&, Answer)>;
  HttpListener(HttpLimits limits, Handler handler);
  ~HttpListener();
  HttpListener(const HttpListener&) = delete;
  HttpListener& operator=(const HttpListener&) = delete;

  // Binds and listens; the port it got (port 0: any free one). Throws
  // std::runtime_error with a message for the user.
  quint16 listen(const QHostAddress& address, quint16 port);
  // Serves until stop() or one of the signals arrives.
  void run(std::initializer_list<int> stopSignals = {});
  // From any thread.
  void stop();
  // Runs work on the serving thread after what is ready to run now: the
  // requests that arrived together are handled before it.
  void post(std::function<void()> work);

  struct Impl;  // the listener's state, shared with its connections

 private:
  std::unique_ptr<Impl> impl_;
};

// Headers every reply carries, whoever made it.
const QList<std::pair<QByteArray, QByteArray>>& standardHeaders();

}  // namespace rootix::server
