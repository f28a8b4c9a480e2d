#include "server/connection_guard.h"

#include "server/pages.h"

namespace rootix::server {

GuardedTcpServer::GuardedTcpServer(int idleTimeoutMs, int requestTimeoutMs, qint64 maxBodyBytes, QObject* parent)
    : QTcpServer(parent),
      idleTimeoutMs_(idleTimeoutMs),
      requestTimeoutMs_(requestTimeoutMs),
      maxBodyBytes_(maxBodyBytes) {}

void GuardedTcpServer::incomingConnection(qintptr descriptor) {
  auto* socket = new GuardedSocket(idleTimeoutMs_, requestTimeoutMs_, maxBodyBytes_, this);
  if (!socket->setSocketDescriptor(descriptor)) {
    delete socket;
    return;
  }
  addPendingConnection(socket);
}

GuardedSocket::GuardedSocket(int idleTimeoutMs, int requestTimeoutMs, qint64 maxBodyBytes, QObject* parent)
    : QTcpSocket(parent), requestTimeoutMs_(requestTimeoutMs), maxBodyBytes_(maxBodyBytes) {
  idle_.setSingleShot(true);
  idle_.setInterval(idleTimeoutMs);
  idle_.callOnTimeout(this, &GuardedSocket::onIdle);
  idle_.start();
  // Connected before the HTTP layer sees the socket, so this runs first.
  connect(this, &QIODevice::readyRead, this, &GuardedSocket::onReadyRead);
  connect(this, &QIODevice::bytesWritten, this, [this] { idle_.start(); });
  connect(this, &QAbstractSocket::disconnected, &idle_, &QTimer::stop);
}

void GuardedSocket::onReadyRead() {
  idle_.start();
  if (!request_.isValid()) {
    request_.start();
  } else if (request_.elapsed() > requestTimeoutMs_) {
    refuse("408 Request Timeout", QStringLiteral("The request did not arrive in time."));
    return;
  }
  if (!checkHeaders_) return;
  const QByteArray head = peek(16 * 1024);
  const qsizetype end = head.indexOf("\r\n\r\n");
  if (end < 0) return;  // headers still coming; the HTTP layer waits too
  checkHeaders_ = false;
  for (const QByteArray& line : head.left(end).split('\n')) {
    const qsizetype colon = line.indexOf(':');
    if (colon < 0 || line.left(colon).trimmed().toLower() != "content-length") continue;
    bool ok = false;
    const qint64 length = line.mid(colon + 1).trimmed().toLongLong(&ok);
    if (ok && length > maxBodyBytes_) {
      refuse("413 Payload Too Large", QStringLiteral("The request body is larger than this server accepts."));
    }
  }
}

qint64 GuardedSocket::writeData(const char* data, qint64 size) {
  answered_ = true;
  checkHeaders_ = true;  // a response went out: what comes next is a new request
  request_.invalidate();
  return QTcpSocket::writeData(data, size);
}

void GuardedSocket::onIdle() {
  if (state() != ConnectedState) return;
  refuse("408 Request Timeout", QStringLiteral("The request did not arrive in time."));
}

void GuardedSocket::disconnectFromHost() {
  // The HTTP layer closes silently on a request it cannot parse.
  if (!answered_ && state() == ConnectedState) {
    answered_ = true;
    const QByteArray body = pages::messagePage(QStringLiteral("Bad request"),
                                               QStringLiteral("The request is not HTTP this server understands."));
    write(
        "HTTP/1.1 400 Bad Request\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
        QByteArray::number(body.size()) + "\r\n\r\n" + body);
  }
  QTcpSocket::disconnectFromHost();
}

void GuardedSocket::refuse(const QByteArray& statusLine, const QString& text) {
  idle_.stop();
  answered_ = true;
  const QByteArray body = pages::messagePage(QString::fromLatin1(statusLine.mid(4)), text);
  // The HTTP layer gets nothing more; what the client still sends is read
  // and dropped for a moment, since closing on unread data would reset the
  // connection and could take the answer with it.
  disconnect(this, &QIODevice::readyRead, nullptr, nullptr);
  connect(this, &QIODevice::readyRead, this, [this] { skip(bytesAvailable()); });
  skip(bytesAvailable());
  write("HTTP/1.1 " + statusLine +
        "\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
        QByteArray::number(body.size()) + "\r\n\r\n" + body);
  QTimer::singleShot(2000, this, [this] { QTcpSocket::disconnectFromHost(); });
}

}  // namespace rootix::server
