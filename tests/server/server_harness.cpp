#include "server_harness.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTcpSocket>
#include <stdexcept>

namespace rootix::server::testing {

void dropServerTables(const QSqlDatabase& db) {
  QSqlQuery q(db);
  for (const char* table : {"scores", "moderation", "board_counts", "processors", "board_buckets", "bucket_processors",
                            "board_processors", "board_changes", "rootix_schema"}) {
    q.exec(QStringLiteral("DROP TABLE IF EXISTS ") + QLatin1String(table));
  }
}

ServerThread::ServerThread(ServerOptions options) : options_(std::move(options)) {
  options_.address = QHostAddress::LocalHost;
  options_.port = 0;
}

ServerThread::~ServerThread() { stopServer(); }

bool ServerThread::startServer() {
  start();
  std::unique_lock lock(mutex_);
  ready_.wait(lock, [this] { return done_; });
  return port_ != 0;
}

void ServerThread::stopServer() {
  // Waited for even when it ended by itself (a start that failed): its
  // last steps may still be under way.
  {
    std::lock_guard lock(mutex_);
    if (server_) server_->stop();
  }
  wait();
}

void ServerThread::run() {
  std::unique_ptr<ResultServer> server;
  try {
    server = std::make_unique<ResultServer>(options_);
    server->start();
  } catch (const std::exception& e) {
    std::lock_guard lock(mutex_);
    error_ = QString::fromStdString(e.what());
    done_ = true;
    ready_.notify_all();
    return;
  }
  {
    std::lock_guard lock(mutex_);
    port_ = server->port();
    server_ = server.get();
    done_ = true;
  }
  ready_.notify_all();
  server->run();
  {
    std::lock_guard lock(mutex_);
    server_ = nullptr;
  }
  server.reset();  // the database goes on this thread, where it was opened
}

namespace {

// A chunked body in place of its chunks; false until its last chunk is there.
bool dechunk(QByteArray& body) {
  QByteArray whole;
  qsizetype at = 0;
  for (;;) {
    const qsizetype lineEnd = body.indexOf("\r\n", at);
    if (lineEnd < 0) return false;
    bool ok = false;
    const qsizetype size = body.mid(at, lineEnd - at).toLongLong(&ok, 16);
    if (!ok) return false;
    if (size == 0) {
      if (body.indexOf("\r\n", lineEnd + 2) < 0) return false;
      body = whole;
      return true;
    }
    if (body.size() < lineEnd + 2 + size + 2) return false;
    whole += body.mid(lineEnd + 2, size);
    at = lineEnd + 2 + size + 2;
  }
}

// Parses a complete response out of data; false while it is incomplete.
bool parse(const QByteArray& data, HttpReply& reply, bool closed) {
  const qsizetype end = data.indexOf("\r\n\r\n");
  if (end < 0) return false;
  const QList<QByteArray> lines = data.left(end).split('\n');
  const QList<QByteArray> status = lines.front().trimmed().split(' ');
  if (status.size() < 2) return false;
  reply.status = status[1].toInt();
  reply.headers.clear();
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon > 0) reply.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
  }
  reply.body = data.mid(end + 4);
  if (reply.headers.value("transfer-encoding") == "chunked") return dechunk(reply.body);
  if (!reply.headers.contains("content-length")) return closed;
  const qsizetype length = reply.headers.value("content-length").toLongLong();
  if (reply.body.size() < length) return false;
  reply.body.truncate(length);
  return true;
}

}  // namespace

HttpReply exchange(quint16 port, const QByteArray& request, int timeoutMs) {
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  if (!socket.waitForConnected(timeoutMs)) throw std::runtime_error("cannot connect to the test server");
  // Written in pieces: the server must cope with bodies it reads in parts.
  for (qsizetype at = 0; at < request.size(); at += 256 * 1024) {
    socket.write(request.mid(at, 256 * 1024));
    while (socket.bytesToWrite() > 0 && socket.state() == QAbstractSocket::ConnectedState) {
      if (!socket.waitForBytesWritten(timeoutMs)) break;
    }
    if (socket.state() != QAbstractSocket::ConnectedState) break;
  }
  QByteArray data;
  HttpReply reply;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < timeoutMs) {
    data += socket.readAll();
    if (parse(data, reply, false)) return reply;
    if (socket.state() != QAbstractSocket::ConnectedState) break;
    socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, timeoutMs - clock.elapsed())));
  }
  data += socket.readAll();
  if (!parse(data, reply, true)) reply = HttpReply{};
  return reply;
}

QByteArray get(const QByteArray& target, const QByteArray& method) {
  return method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}

QByteArray post(const QByteArray& target, const QByteArray& body, const QByteArray& contentType) {
  QByteArray request = "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  if (!contentType.isEmpty()) request += "Content-Type: " + contentType + "\r\n";
  return request + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray submissionForm(const QByteArray& data, const QByteArray& title, const QByteArray& description,
                          const QByteArray& link) {
  return "data=" + data.toPercentEncoding() + "&title=" + title.toPercentEncoding() +
         "&description=" + description.toPercentEncoding() + "&link=" + link.toPercentEncoding();
}

}  // namespace rootix::server::testing
