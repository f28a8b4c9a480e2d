// The result server's HTTP layer, probed as an attacker would on 127.0.0.1:
// limits while the request streams in, statuses of malformed requests,
// connection handling and the headers every reply carries.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "server_harness.h"

namespace rootix::server {
namespace {

using namespace rootix::server::testing;

constexpr int kIdleMs = 1000;
constexpr int kRequestMs = 1500;
constexpr int kMaxConnections = 4;

QByteArray requestWithHeaders(const QByteArray& headers, const QByteArray& body = {}) {
  return "POST /?q=submit HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n" +
         headers + "\r\n" + body;
}

QByteArray manyFields(int count) {
  QByteArray fields;
  for (int i = 0; i < count; ++i) fields += "X-Field-" + QByteArray::number(i) + ": 1\r\n";
  return fields;
}

// A chunked body of chunks of chunkBytes, more than limit in all.
QByteArray chunkedBeyond(qsizetype limit, qsizetype chunkBytes) {
  QByteArray body;
  const QByteArray chunk(chunkBytes, 'a');
  for (qsizetype sent = 0; sent <= limit; sent += chunkBytes) {
    body += QByteArray::number(chunkBytes, 16) + "\r\n" + chunk + "\r\n";
  }
  return body + "0\r\n\r\n";
}

class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ServerOptions options;
    options.database = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("scores.sqlite"));
    options.idleTimeoutMs = kIdleMs;
    options.requestTimeoutMs = kRequestMs;
    options.maxConnections = kMaxConnections;
    server_ = std::make_unique<ServerThread>(options);
    ASSERT_TRUE(server_->startServer()) << server_->error().toStdString();
  }

  HttpReply send(const QByteArray& request) { return exchange(server_->port(), request); }
  qint64 storedCount() {
    return QJsonDocument::fromJson(send(get("/api/v1/scores")).body).object().value("total").toInteger(-1);
  }

  // A connection that has sent request; reads until the server closes it or
  // waitMs passes. closed: the server closed it.
  struct Outcome {
    QByteArray received;
    bool closed = false;
    qint64 elapsedMs = 0;
  };
  Outcome talk(const QByteArray& request, int waitMs) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server_->port());
    EXPECT_TRUE(socket.waitForConnected(2000));
    QElapsedTimer clock;
    clock.start();
    socket.write(request);
    Outcome out;
    while (clock.elapsed() < waitMs) {
      if (socket.state() != QAbstractSocket::ConnectedState) break;
      socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, waitMs - clock.elapsed())));
      out.received += socket.readAll();
    }
    out.received += socket.readAll();
    out.closed = socket.state() != QAbstractSocket::ConnectedState;
    out.elapsedMs = clock.elapsed();
    return out;
  }

  QTemporaryDir dir_;
  std::unique_ptr<ServerThread> server_;
};

// Every class of malformed or oversized request: its status, a closed
// connection, the server still answering, nothing stored.
TEST_F(HttpTest, EveryMalformedRequestGetsItsStatusAndTheServerGoesOn) {
  const struct {
    const char* name;
    QByteArray request;
    int status;
  } probes[] = {
      {"RequestLineOverItsLimit", get("/?cpu=" + QByteArray(9 * 1024, 'a')), 414},
      {"RequestLineThatNeverEnds", QByteArray(40 * 1024, 'A'), 414},
      {"OneHugeHeader", requestWithHeaders("X-Big: " + QByteArray(17 * 1024, 'b') + "\r\n"), 431},
      {"HeaderBlockThatNeverEnds", requestWithHeaders("X-Big: " + QByteArray(300 * 1024, 'b')), 431},
      {"TooManyFields", requestWithHeaders(manyFields(101) + "Content-Length: 0\r\n"), 431},
      {"AnnouncedBodyOverTheLimit", requestWithHeaders("Content-Length: 2000000\r\n"), 413},
      {"ChunkedBodyOverTheLimit",
       requestWithHeaders("Transfer-Encoding: chunked\r\n", chunkedBeyond(1024 * 1024, 64 * 1024)), 413},
      {"TwoDifferentLengths", requestWithHeaders("Content-Length: 4\r\nContent-Length: 6\r\n", "data=x"), 400},
      {"TwoEqualLengths", requestWithHeaders("Content-Length: 6\r\nContent-Length: 6\r\n", "data=x"), 400},
      {"LengthList", requestWithHeaders("Content-Length: 6, 6\r\n", "data=x"), 400},
      {"NegativeLength", requestWithHeaders("Content-Length: -6\r\n", "data=x"), 400},
      {"LengthBeyond64Bits", requestWithHeaders("Content-Length: 99999999999999999999999\r\n", "data=x"), 400},
      {"LengthAndChunked", requestWithHeaders("Content-Length: 6\r\nTransfer-Encoding: chunked\r\n", "0\r\n\r\n"), 400},
      {"GzipCoding", requestWithHeaders("Transfer-Encoding: gzip\r\n", "data=x"), 501},
      {"GzipThenChunked", requestWithHeaders("Transfer-Encoding: gzip, chunked\r\n", "0\r\n\r\n"), 501},
      {"UnknownMethod", "BREW / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 501},
      {"WebDavMethod", "PROPFIND / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 501},
      {"HttpTwo", "GET / HTTP/2.0\r\nHost: 127.0.0.1\r\n\r\n", 505},
      {"TlsHello", QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + QByteArray(300, '\x00'), 400},
      {"BadChunkSize", requestWithHeaders("Transfer-Encoding: chunked\r\n", "zz\r\ndata\r\n0\r\n\r\n"), 400},
  };
  for (const auto& probe : probes) {
    SCOPED_TRACE(probe.name);
    const Outcome out = talk(probe.request, 3000);
    EXPECT_TRUE(out.received.startsWith("HTTP/1.1 " + QByteArray::number(probe.status) + ' '))
        << out.received.left(200).toStdString();
    EXPECT_TRUE(out.received.contains("\r\nConnection: close\r\n"));
    EXPECT_TRUE(out.closed) << "the connection stays open after a refusal";
    EXPECT_EQ(send(get("/healthz")).status, 200);
  }
  EXPECT_EQ(storedCount(), 0);
}

TEST_F(HttpTest, ConnectionsCloseWhenTheClientAsksAndStayOpenOtherwise) {
  const struct {
    const char* name;
    QByteArray requests;
    int replies;
    bool closes;
  } cases[] = {
      {"Http10", "GET /healthz HTTP/1.0\r\n\r\n", 1, true},
      {"Http10KeepAlive", "GET /healthz HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", 1, false},
      {"ConnectionClose", get("/healthz"), 1, true},
      {"KeepAliveByDefault", "GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n", 1, false},
      {"PipelinedThenClose", "GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n" + get("/about"), 2, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Shorter than the idle time: a close seen within it was asked for.
    const Outcome out = talk(c.requests, kIdleMs * 7 / 10);
    EXPECT_EQ(out.received.count("HTTP/1."), c.replies) << out.received.left(300).toStdString();
    EXPECT_EQ(out.closed, c.closes);
  }
}

// An idle keep-alive connection is closed with nothing sent; one with a
// request under way is told why.
TEST_F(HttpTest, IdleConnectionsCloseSilentlyAndHalfRequestsGetTimedOut) {
  const Outcome idle = talk({}, kIdleMs * 4);
  EXPECT_TRUE(idle.closed);
  EXPECT_TRUE(idle.received.isEmpty()) << idle.received.left(200).toStdString();

  const Outcome afterOne = talk("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n", kIdleMs * 4);
  EXPECT_TRUE(afterOne.closed);
  EXPECT_EQ(afterOne.received.count("HTTP/1."), 1) << "nothing after the one reply";

  const Outcome half = talk("GET /healthz HTTP/1.1\r\nHost", kIdleMs * 4);
  EXPECT_TRUE(half.closed);
  EXPECT_TRUE(half.received.startsWith("HTTP/1.1 408")) << half.received.left(200).toStdString();
}

TEST_F(HttpTest, ConnectionsBeyondTheLimitAreTurnedAwayUntilOneCloses) {
  std::vector<std::unique_ptr<QTcpSocket>> held;
  for (int i = 0; i < kMaxConnections; ++i) {
    held.push_back(std::make_unique<QTcpSocket>());
    held.back()->connectToHost(QHostAddress::LocalHost, server_->port());
    ASSERT_TRUE(held.back()->waitForConnected(2000));
    held.back()->write("GET / HTTP/1.1\r\n");  // a request under way
    held.back()->waitForBytesWritten(1000);
  }
  QThread::msleep(300);  // all of them accepted
  const HttpReply busy = send(get("/healthz"));
  EXPECT_EQ(busy.status, 503);
  EXPECT_FALSE(busy.headers.value("retry-after").isEmpty());
  held.pop_back();
  QThread::msleep(300);
  EXPECT_EQ(send(get("/healthz")).status, 200);
}

TEST_F(HttpTest, ChunkedSubmissionsAreRead) {
  const HttpReply reply =
      send(requestWithHeaders("Transfer-Encoding: chunked\r\nConnection: close\r\n", "6\r\ndata=x\r\n0\r\n\r\n"));
  EXPECT_EQ(reply.status, 400);
  EXPECT_TRUE(reply.body.contains("does not hold a Rootix score")) << "the body arrived whole";
}

// Pages and refusals alike: no script, no framing, no sniffing; pages can
// be kept by a proxy and asked for again cheaply.
TEST_F(HttpTest, EveryReplyCarriesTheSecurityHeadersAndPagesCanBeCached) {
  const QByteArray requests[] = {get("/"), get("/about"), get("/nowhere"), get("/api/v1/scores"),
                                 requestWithHeaders("X-Big: " + QByteArray(17 * 1024, 'b') + "\r\n")};
  for (const QByteArray& request : requests) {
    SCOPED_TRACE(request.left(40).toStdString());
    const HttpReply reply = send(request);
    ASSERT_NE(reply.status, 0);
    const QByteArray policy = reply.headers.value("content-security-policy");
    EXPECT_TRUE(policy.contains("default-src 'none'")) << policy.toStdString();
    EXPECT_TRUE(policy.contains("frame-ancestors 'none'"));
    EXPECT_FALSE(policy.contains("script-src"));
    EXPECT_EQ(reply.headers.value("x-content-type-options"), "nosniff");
    EXPECT_FALSE(reply.headers.value("referrer-policy").isEmpty());
  }
  const HttpReply board = send(get("/"));
  EXPECT_EQ(board.headers.value("cache-control"), "public, no-cache");
  const QByteArray etag = board.headers.value("etag");
  ASSERT_FALSE(etag.isEmpty());
  const HttpReply again = send("GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\nIf-None-Match: " + etag + "\r\n\r\n");
  EXPECT_EQ(again.status, 304);
  EXPECT_TRUE(again.body.isEmpty());
  EXPECT_EQ(send(get("/nowhere")).headers.value("cache-control"), "no-store");
  EXPECT_EQ(send(get("/healthz")).headers.value("cache-control"), "no-store");
}

TEST_F(HttpTest, AboutSaysWhatTheServerIsAndHowToUseIt) {
  const HttpReply about = send(get("/about"));
  ASSERT_EQ(about.status, 200);
  EXPECT_EQ(about.headers.value("content-type"), "text/html; charset=utf-8");
  for (const char* text : {"result server", "/?q=submit", "/api/v1/scores", "limit", "/healthz"}) {
    EXPECT_TRUE(about.body.contains(text)) << text;
  }
}

TEST_F(HttpTest, JsonRepliesHoldAtMostAHundredRows) {
  const struct {
    const char* query;
    int status;
    int limit;
  } cases[] = {{"", 200, 50}, {"?limit=100", 200, 100}, {"?limit=500", 200, 100}, {"?limit=0", 400, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    const HttpReply reply = send(get(QByteArray("/api/v1/scores") + c.query));
    EXPECT_EQ(reply.status, c.status);
    if (c.status == 200) {
      EXPECT_EQ(QJsonDocument::fromJson(reply.body).object().value("limit").toInt(), c.limit);
    }
  }
}

}  // namespace
}  // namespace rootix::server
