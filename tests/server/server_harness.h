#pragma once

#include <QByteArray>
#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>

#include "server/result_server.h"

namespace rootix::server::testing {

// The databases the server tests run against.
enum class Backend { SQLite, PostgreSQL };
inline void PrintTo(Backend b, std::ostream* os) { *os << (b == Backend::SQLite ? "SQLite" : "PostgreSQL"); }

// Drops every table the store makes, so that a shared PostgreSQL database
// starts empty.
void dropServerTables(const QSqlDatabase& db);

// A result server on 127.0.0.1 and a free port, running on a thread of its
// own so the test can talk to it with blocking sockets.
class ServerThread : public QThread {
 public:
  explicit ServerThread(ServerOptions options);
  ~ServerThread() override;
  // Waits until the server listens; false (with error()) if it failed.
  bool startServer();
  void stopServer();
  quint16 port() const { return port_; }
  const QString& error() const { return error_; }

 protected:
  void run() override;

 private:
  ServerOptions options_;
  std::mutex mutex_;
  std::condition_variable ready_;
  bool done_ = false;
  quint16 port_ = 0;
  QString error_;
  ResultServer* server_ = nullptr;  // while it serves, under mutex_
};

struct HttpReply {
  int status = 0;                        // 0: no response at all
  QMap<QByteArray, QByteArray> headers;  // names in lower case
  QByteArray body;
};

// Sends raw bytes and reads one response (or until the server closes, or
// timeoutMs passes). halfClose: no more bytes will follow.
HttpReply exchange(quint16 port, const QByteArray& request, int timeoutMs = 5000);

QByteArray get(const QByteArray& target, const QByteArray& method = "GET");
QByteArray post(const QByteArray& target, const QByteArray& body,
                const QByteArray& contentType = "application/x-www-form-urlencoded");
// A submission form as the page posts it: every field percent-encoded.
QByteArray submissionForm(const QByteArray& data, const QByteArray& title = "Box", const QByteArray& description = "",
                          const QByteArray& link = "");

}  // namespace rootix::server::testing
