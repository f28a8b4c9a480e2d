#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <optional>

#include "gui/http_server_probe.h"

namespace rootix::gui {
namespace {

// A stand-in on 127.0.0.1 that answers every request with reply (nothing
// at all when empty), or no server at all.
class LocalServer {
 public:
  explicit LocalServer(QByteArray reply) : reply_(std::move(reply)) {
    EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          request_ += socket->readAll();
          if (!reply_.isEmpty() && request_.contains("\r\n\r\n")) socket->write(reply_);
        });
      }
    });
  }
  QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }
  const QByteArray& request() const { return request_; }

 private:
  QTcpServer server_;
  QByteArray reply_;
  QByteArray request_;
};

// A port nothing listens on: one that was free a moment ago.
QString deadBase() {
  QTcpServer probe;
  EXPECT_TRUE(probe.listen(QHostAddress::LocalHost));
  const quint16 port = probe.serverPort();
  probe.close();
  return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

// The answer comes later, on the event loop, within the probe's limit.
void ask(HttpServerProbe& probe, const QString& base, std::optional<bool>& answer) {
  probe.probe(base, [&answer](bool answered) { answer = answered; });
  EXPECT_FALSE(answer.has_value());
  QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), HttpServerProbe::kTimeoutMs + 3000);
}

TEST(HttpServerProbe, AnswersOnlyForAResultServersHealthCheck) {
  const struct {
    const char* name;
    QByteArray reply;
    bool answered;
  } cases[] = {
      {"healthy", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok", true},
      {"another program", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", false},
      {"not HTTP", "SSH-2.0-OpenSSH\r\n\r\n", false},
      {"silent", "", false},  // accepts, never answers: given up after the limit
  };
  for (const auto& c : cases) {
    LocalServer server(c.reply);
    HttpServerProbe probe;
    std::optional<bool> answer;
    ask(probe, server.base(), answer);
    EXPECT_EQ(answer, c.answered) << c.name;
    EXPECT_TRUE(server.request().startsWith("GET /healthz HTTP/1.1\r\n")) << c.name;
  }
}

TEST(HttpServerProbe, NothingListeningIsNoAnswer) {
  HttpServerProbe probe;
  std::optional<bool> answer;
  ask(probe, deadBase(), answer);
  EXPECT_EQ(answer, false);
}

TEST(HttpServerProbe, AQuestionStillOutWhenTheProbeGoesIsDropped) {
  LocalServer silent{QByteArray()};
  bool called = false;
  {
    HttpServerProbe probe;
    probe.probe(silent.base(), [&called](bool) { called = true; });
    QTest::qWait(50);
  }
  QTest::qWait(50);
  EXPECT_FALSE(called);
}

}  // namespace
}  // namespace rootix::gui
