#pragma once

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace rootix::server {

// A listening socket whose connections look after themselves, for what the
// HTTP layer leaves open: a client that stops halfway, or stays silent, is
// answered 408 and closed after the idle time, and so is one that sends a
// request so slowly that it takes longer than the request time; a request announcing a body
// far beyond any submission is answered 413 before the body is read; a
// request line the HTTP layer cannot parse gets a 400 instead of a bare close.
class GuardedTcpServer : public QTcpServer {
  Q_OBJECT
 public:
  GuardedTcpServer(int idleTimeoutMs, int requestTimeoutMs, qint64 maxBodyBytes, QObject* parent = nullptr);

 protected:
  void incomingConnection(qintptr descriptor) override;

 private:
  int idleTimeoutMs_;
  int requestTimeoutMs_;
  qint64 maxBodyBytes_;
};

class GuardedSocket : public QTcpSocket {
  Q_OBJECT
 public:
  GuardedSocket(int idleTimeoutMs, int requestTimeoutMs, qint64 maxBodyBytes, QObject* parent = nullptr);

  void disconnectFromHost() override;

 protected:
  qint64 writeData(const char* data, qint64 size) override;

 private:
  void onReadyRead();
  void onIdle();
  // Writes a complete response of our own and closes the connection.
  void refuse(const QByteArray& statusLine, const QString& text);

  QTimer idle_;
  QElapsedTimer request_;  // since the first byte of the request under way
  int requestTimeoutMs_;
  qint64 maxBodyBytes_;
  bool answered_ = false;     // some response went out on this connection
  bool checkHeaders_ = true;  // the next data starts a request
};

}  // namespace rootix::server
