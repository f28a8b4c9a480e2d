#include "server/http_listener.h"

#include <QString>
#include <algorithm>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/status.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/verb.hpp>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>

#include "server/pages.h"

namespace rootix::server {
namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using boost::system::error_code;

// Room for the largest header we accept and a read's worth of body.
constexpr std::size_t kReadBufferBytes = 64 * 1024;
// After a refusal, what the client still sends is read and dropped this
// long: closing on unread data resets the connection and can take the
// answer with it.
constexpr auto kDrainTime = std::chrono::seconds(2);
constexpr std::size_t kDrainBytes = 16 * 1024 * 1024;
// Connections beyond the limit are answered 503; beyond this many more they
// are closed at once.
constexpr int kRefusingConnections = 64;

// The methods of HTTP itself: one of these the server does not serve at an
// address is 405, anything else 501.
bool isKnownMethod(http::verb v) {
  switch (v) {
    case http::verb::get:
    case http::verb::head:
    case http::verb::post:
    case http::verb::put:
    case http::verb::delete_:
    case http::verb::options:
    case http::verb::trace:
    case http::verb::connect:
    case http::verb::patch:
      return true;
    default:
      return false;
  }
}

Reply errorReply(int status, const QString& heading, const QString& text) {
  return Reply{status, "text/html; charset=utf-8", pages::messagePage(heading, text), {}};
}

const QString kNotHttp = QStringLiteral("The request is not HTTP this server understands.");

Reply badRequest(const QString& text) { return errorReply(400, QStringLiteral("Bad request"), text); }

bool sameText(boost::beast::string_view a, const char* b) { return boost::beast::iequals(a, b); }

}  // namespace

const QList<std::pair<QByteArray, QByteArray>>& standardHeaders() {
  // The pages need no script and nothing from elsewhere; their style is
  // inline and their only form posts back here.
  static const QList<std::pair<QByteArray, QByteArray>> headers{
      {"Content-Security-Policy",
       "default-src 'none'; img-src 'self' data:; style-src 'unsafe-inline'; form-action 'self'; "
       "frame-ancestors 'none'; base-uri 'none'"},
      {"X-Content-Type-Options", "nosniff"},
      {"X-Frame-Options", "DENY"},
      {"Referrer-Policy", "same-origin"},
  };
  return headers;
}

struct HttpListener::Impl {
  Impl(HttpLimits l, Handler h) : limits(l), handler(std::move(h)) {}

  HttpLimits limits;
  Handler handler;
  // Declared before the io_context: connections still held by its handlers
  // count themselves out while it is destroyed.
  int open = 0;
  int refusing = 0;
  asio::io_context ioc{1};
  tcp::acceptor acceptor{ioc};
  asio::steady_timer acceptPause{ioc};

  void accept();
};

namespace {

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(HttpListener::Impl& owner, tcp::socket socket, bool overloaded)
      : owner_(owner), socket_(std::move(socket)), timer_(socket_.get_executor()), overloaded_(overloaded) {
    ++(overloaded_ ? owner_.refusing : owner_.open);
    error_code ec;
    const auto endpoint = socket_.remote_endpoint(ec);
    if (!ec) peer_ = QHostAddress(QString::fromStdString(endpoint.address().to_string()));
    socket_.set_option(tcp::no_delay(true), ec);
  }
  ~Connection() { --(overloaded_ ? owner_.refusing : owner_.open); }

  void start() {
    if (overloaded_) {
      Reply busy = errorReply(503, QStringLiteral("Server busy"),
                              QStringLiteral("The server has too many connections open. Please try again in a while."));
      busy.headers.append(std::pair<QByteArray, QByteArray>("Retry-After", "5"));
      refuse(std::move(busy));
      return;
    }
    readRequest();
  }

 private:
  enum class State { Reading, Answering, Writing, Draining, Closed };

  void readRequest() {
    state_ = State::Reading;
    parser_.emplace();
    // The request line and the fields are limited apart; the parser sees
    // both at once.
    parser_->header_limit(static_cast<std::uint32_t>(owner_.limits.requestLineBytes + owner_.limits.headerBytes + 4));
    parser_->body_limit(owner_.limits.bodyBytes);
    headerChecked_ = false;
    started_ = buffer_.size() > 0;  // a pipelined request already began
    if (started_) requestDeadline_ = Clock::now() + std::chrono::milliseconds(owner_.limits.requestTimeoutMs);
    parse();
  }

  void readSome() {
    armTimer(std::chrono::milliseconds(owner_.limits.idleTimeoutMs));
    const std::size_t room = kReadBufferBytes - buffer_.size();
    if (room == 0) return refuse(parser_->is_header_done() ? badRequest(kNotHttp) : headerTooLarge());
    socket_.async_read_some(buffer_.prepare(std::min<std::size_t>(room, 16 * 1024)),
                            [self = shared_from_this()](error_code ec, std::size_t n) {
                              self->buffer_.commit(n);
                              self->onRead(ec, n);
                            });
  }

  void armTimer(std::chrono::milliseconds after) {
    auto deadline = Clock::now() + after;
    if (started_ && state_ == State::Reading) deadline = std::min(deadline, requestDeadline_);
    timer_.expires_at(deadline);
    timer_.async_wait([self = shared_from_this()](error_code ec) { self->onTimer(ec); });
  }

  void onTimer(error_code ec) {
    if (ec == asio::error::operation_aborted || state_ == State::Closed) return;
    if (timer_.expiry() > Clock::now()) return;  // armed again since
    if (state_ == State::Reading && started_) {
      error_code ignored;
      socket_.cancel(ignored);
      refuse(errorReply(408, QStringLiteral("Request timeout"), QStringLiteral("The request did not arrive in time.")));
      return;
    }
    // Idle between requests, or a client that does not read its answer.
    close();
  }

  void onRead(error_code ec, std::size_t n) {
    if (state_ != State::Reading) return;
    if (ec == asio::error::operation_aborted) return;
    // The client closed or the connection broke: nobody to answer.
    if (ec) return close();
    if (!started_ && n > 0) {
      started_ = true;
      requestDeadline_ = Clock::now() + std::chrono::milliseconds(owner_.limits.requestTimeoutMs);
    }
    parse();
  }

  // Feeds what has arrived to the parser: the header is checked as soon as
  // it is whole, before any of the body is kept.
  void parse() {
    while (buffer_.size() > 0 && !parser_->is_done()) {
      error_code ec;
      const std::size_t used = parser_->put(buffer_.data(), ec);
      buffer_.consume(used);  // even when it needs more: the request line may be behind it
      if (ec == http::error::need_more) break;
      if (ec) return refuse(parseFailure(ec));
      if (parser_->is_header_done() && !headerChecked_) {
        headerChecked_ = true;
        if (auto refusal = checkHeader()) return refuse(std::move(*refusal));
        if (!parser_->is_done() && sameText(parser_->get()[http::field::expect], "100-continue")) {
          return writeRaw("HTTP/1.1 100 Continue\r\n\r\n", [this] { parse(); });
        }
      }
      if (used == 0) break;
    }
    if (parser_->is_done()) return answer();
    readSome();
  }

  Reply parseFailure(error_code ec) {
    if (ec == http::error::header_limit) return headerTooLarge();
    if (ec == http::error::body_limit) {
      return errorReply(413, QStringLiteral("Request too large"),
                        QStringLiteral("The request body is larger than this server accepts."));
    }
    if (ec == http::error::bad_content_length || ec == http::error::multiple_content_length) {
      return badRequest(QStringLiteral("The request's Content-Length is not one whole number."));
    }
    if (ec == http::error::bad_transfer_encoding) {
      return badRequest(QStringLiteral("The request's Transfer-Encoding and Content-Length disagree."));
    }
    if (ec == http::error::bad_version) {
      return errorReply(505, QStringLiteral("HTTP version not supported"),
                        QStringLiteral("This server speaks HTTP/1.0 and HTTP/1.1."));
    }
    return badRequest(kNotHttp);
  }

  // The header grew beyond its limit before it ended: a request line that
  // did not end within its own limit is 414, anything else 431.
  Reply headerTooLarge() {
    const auto& req = parser_->get();
    const bool lineRead = !req.target().empty();
    if (!lineRead || req.method_string().size() + req.target().size() + 10 > owner_.limits.requestLineBytes) {
      return uriTooLong();
    }
    return headerFieldsTooLarge();
  }
  static Reply uriTooLong() {
    return errorReply(414, QStringLiteral("Address too long"),
                      QStringLiteral("The request line is longer than this server accepts."));
  }
  static Reply headerFieldsTooLarge() {
    return errorReply(431, QStringLiteral("Request headers too large"),
                      QStringLiteral("The request's header fields are more or larger than this server accepts."));
  }

  // A whole header, before any of the body is kept.
  std::optional<Reply> checkHeader() {
    const auto& req = parser_->get();
    if (req.version() != 10 && req.version() != 11) {
      return errorReply(505, QStringLiteral("HTTP version not supported"),
                        QStringLiteral("This server speaks HTTP/1.0 and HTTP/1.1."));
    }
    if (req.method_string().size() + req.target().size() + 10 > owner_.limits.requestLineBytes) return uriTooLong();
    std::size_t fields = 0;
    std::size_t bytes = 0;
    int lengths = 0;
    int codings = 0;
    for (const auto& f : req) {
      ++fields;
      bytes += f.name_string().size() + f.value().size() + 4;
      if (f.name() == http::field::content_length) ++lengths;
      if (f.name() == http::field::transfer_encoding) ++codings;
    }
    if (fields > owner_.limits.headerFields || bytes > owner_.limits.headerBytes) return headerFieldsTooLarge();
    // One length, plainly written: two that agree are a sign of a request
    // smuggled past a proxy as much as two that differ.
    if (lengths > 1 || req[http::field::content_length].find(',') != boost::beast::string_view::npos) {
      return badRequest(QStringLiteral("The request's Content-Length is not one whole number."));
    }
    if (codings > 0 && (codings > 1 || !sameText(req[http::field::transfer_encoding], "chunked"))) {
      return errorReply(501, QStringLiteral("Not implemented"),
                        QStringLiteral("This server accepts no transfer coding but chunked."));
    }
    if (!isKnownMethod(req.method())) {
      return errorReply(501, QStringLiteral("Not implemented"),
                        QStringLiteral("This server does not know the request's method."));
    }
    return std::nullopt;
  }

  void answer() {
    auto& req = parser_->get();
    Request request;
    request.method = QByteArray(req.method_string().data(), static_cast<qsizetype>(req.method_string().size()));
    request.target = QByteArray(req.target().data(), static_cast<qsizetype>(req.target().size()));
    for (const auto& f : req) {
      request.headers.append({QByteArray(f.name_string().data(), static_cast<qsizetype>(f.name_string().size())),
                              QByteArray(f.value().data(), static_cast<qsizetype>(f.value().size()))});
    }
    request.body = QByteArray(req.body().data(), static_cast<qsizetype>(req.body().size()));
    request.peer = peer_;
    const bool keepAlive = req.keep_alive();
    const unsigned version = req.version();
    parser_.reset();  // the body is in the request now

    // The reply may come later (a submission waits for its commit); no
    // timer runs meanwhile, the connection waits for it.
    state_ = State::Answering;
    timer_.cancel();
    const bool head = request.method == "HEAD";
    auto done = [self = shared_from_this(), keepAlive, version, head](const Reply& reply) {
      if (self->state_ == State::Answering) self->write(reply, keepAlive, version, head);
    };
    try {
      owner_.handler(request, done);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "rootix-server: %s %s failed: %s\n", request.method.constData(),
                   request.target.left(200).constData(), e.what());
      done(
          errorReply(500, QStringLiteral("Server error"), QStringLiteral("The server failed to answer this request.")));
    } catch (...) {
      std::fprintf(stderr, "rootix-server: %s %s failed\n", request.method.constData(),
                   request.target.left(200).constData());
      done(
          errorReply(500, QStringLiteral("Server error"), QStringLiteral("The server failed to answer this request.")));
    }
  }

  // Answers and closes: after a refusal the rest of the request is unknown.
  void refuse(Reply reply) { write(reply, false, 11, false); }

  void write(const Reply& reply, bool keepAlive, unsigned version, bool head) {
    state_ = State::Writing;
    const bool bodyless = reply.status == 304 || reply.status == 204;
    const bool streamed = reply.stream && !bodyless;
    // HTTP/1.0 has no chunks: a streamed body ends where the connection does.
    if (streamed && version == 10) keepAlive = false;
    keepAlive_ = keepAlive;
    const auto status = static_cast<http::status>(reply.status);
    const auto reason = http::obsolete_reason(status);
    std::string out = version == 10 ? "HTTP/1.0 " : "HTTP/1.1 ";
    out += std::to_string(reply.status);
    out += ' ';
    out.append(reason.data(), reason.size());
    out += "\r\n";
    auto header = [&out](const QByteArray& name, const QByteArray& value) {
      out.append(name.constData(), static_cast<std::size_t>(name.size()));
      out += ": ";
      out.append(value.constData(), static_cast<std::size_t>(value.size()));
      out += "\r\n";
    };
    if (!bodyless) {
      if (!reply.contentType.isEmpty()) header("Content-Type", reply.contentType);
      if (!streamed) {
        header("Content-Length", QByteArray::number(reply.body.size()));
      } else if (version != 10) {
        header("Transfer-Encoding", "chunked");
      }
    }
    for (const auto& [name, value] : reply.headers) header(name, value);
    for (const auto& [name, value] : standardHeaders()) header(name, value);
    if (!keepAlive) {
      header("Connection", "close");
    } else if (version == 10) {
      header("Connection", "keep-alive");
    }
    out += "\r\n";
    if (!head && !bodyless && !streamed)
      out.append(reply.body.constData(), static_cast<std::size_t>(reply.body.size()));
    out_ = std::move(out);
    stream_ = streamed && !head ? reply.stream : nullptr;
    chunked_ = version != 10;
    send();
  }

  // Writes out_; a client that does not read it within the request time is
  // dropped.
  void send() {
    armTimer(std::chrono::milliseconds(owner_.limits.requestTimeoutMs));
    asio::async_write(socket_, asio::buffer(out_), [self = shared_from_this()](error_code ec, std::size_t) {
      if (self->state_ != State::Writing) return;
      self->out_.clear();
      if (ec) return self->close();
      if (self->stream_) return self->sendNextPiece();
      if (self->keepAlive_) return self->readRequest();
      self->drain();
    });
  }

  // One piece of a streamed body at a time: only what is being written is
  // held, however long the body.
  void sendNextPiece() {
    QByteArray piece;
    try {
      piece = stream_();
    } catch (const std::exception& e) {
      // The status is sent already: the client learns of the failure by the
      // missing end of the body.
      std::fprintf(stderr, "rootix-server: a streamed reply failed: %s\n", e.what());
      stream_ = nullptr;
      return close();
    }
    if (piece.isEmpty()) {
      stream_ = nullptr;
      out_ = chunked_ ? "0\r\n\r\n" : "";
    } else {
      out_ = chunked_ ? QByteArray::number(piece.size(), 16).toStdString() + "\r\n" : std::string();
      out_.append(piece.constData(), static_cast<std::size_t>(piece.size()));
      if (chunked_) out_ += "\r\n";
    }
    send();
  }

  // Writes bytes of the protocol's own (100 Continue), then goes on.
  template <typename Next>
  void writeRaw(const char* bytes, Next next) {
    state_ = State::Writing;
    out_ = bytes;
    asio::async_write(socket_, asio::buffer(out_), [self = shared_from_this(), next](error_code ec, std::size_t) {
      if (self->state_ != State::Writing) return;
      if (ec) return self->close();
      self->state_ = State::Reading;
      next();
    });
  }

  // No more to send: tells the client so, then reads and drops what it
  // still sends for a moment before closing.
  void drain() {
    state_ = State::Draining;
    error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    buffer_.clear();
    timer_.expires_after(kDrainTime);
    timer_.async_wait([self = shared_from_this()](error_code ec) {
      if (!ec) self->close();
    });
    drainSome();
  }
  void drainSome() {
    socket_.async_read_some(asio::buffer(scratch_), [self = shared_from_this()](error_code ec, std::size_t n) {
      if (self->state_ != State::Draining) return;
      self->drained_ += n;
      if (ec || self->drained_ > kDrainBytes) return self->close();
      self->drainSome();
    });
  }

  void close() {
    if (state_ == State::Closed) return;
    state_ = State::Closed;
    error_code ignored;
    timer_.cancel();
    socket_.close(ignored);
  }

  HttpListener::Impl& owner_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  bool overloaded_;
  QHostAddress peer_;
  boost::beast::flat_buffer buffer_{kReadBufferBytes};
  std::optional<http::request_parser<http::string_body>> parser_;
  State state_ = State::Reading;
  bool started_ = false;  // bytes of the request under way have arrived
  bool headerChecked_ = false;
  bool keepAlive_ = false;
  Clock::time_point requestDeadline_;
  std::string out_;
  std::function<QByteArray()> stream_;  // the rest of a streamed body
  bool chunked_ = false;
  std::array<char, 4096> scratch_{};
  std::size_t drained_ = 0;
};

}  // namespace

void HttpListener::Impl::accept() {
  acceptor.async_accept([this](error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !acceptor.is_open()) return;
    if (ec) {
      // Out of descriptors, most likely: wait a moment rather than spin.
      std::fprintf(stderr, "rootix-server: cannot accept a connection: %s\n", ec.message().c_str());
      acceptPause.expires_after(std::chrono::milliseconds(100));
      acceptPause.async_wait([this](error_code e) {
        if (!e) accept();
      });
      return;
    }
    if (open < limits.maxConnections) {
      std::make_shared<Connection>(*this, std::move(socket), false)->start();
    } else if (refusing < kRefusingConnections) {
      std::make_shared<Connection>(*this, std::move(socket), true)->start();
    }  // else the socket closes here
    accept();
  });
}

HttpListener::HttpListener(HttpLimits limits, Handler handler)
    : impl_(std::make_unique<Impl>(limits, std::move(handler))) {}

HttpListener::~HttpListener() = default;

quint16 HttpListener::listen(const QHostAddress& address, quint16 port) {
  error_code ec;
  const auto ip = asio::ip::make_address(address.toString().toStdString(), ec);
  if (ec) throw std::runtime_error("cannot listen on " + address.toString().toStdString() + ": " + ec.message());
  const tcp::endpoint endpoint(ip, port);
  auto& acceptor = impl_->acceptor;
  auto fail = [&](const char* what) {
    throw std::runtime_error(std::string("cannot listen on ") + address.toString().toStdString() + ":" +
                             std::to_string(port) + ": " + what + ": " + ec.message());
  };
  if (acceptor.open(endpoint.protocol(), ec)) fail("open");
  if (acceptor.set_option(tcp::acceptor::reuse_address(true), ec)) fail("reuse");
  if (acceptor.bind(endpoint, ec)) fail("bind");
  if (acceptor.listen(asio::socket_base::max_listen_connections, ec)) fail("listen");
  return acceptor.local_endpoint().port();
}

void HttpListener::run(std::initializer_list<int> stopSignals) {
  asio::signal_set signals(impl_->ioc);
  for (const int s : stopSignals) signals.add(s);
  if (stopSignals.size() > 0) {
    signals.async_wait([this](error_code ec, int) {
      if (!ec) stop();
    });
  }
  impl_->accept();
  impl_->ioc.run();
}

void HttpListener::stop() { impl_->ioc.stop(); }

void HttpListener::post(std::function<void()> work) { asio::post(impl_->ioc, std::move(work)); }

}  // namespace rootix::server
