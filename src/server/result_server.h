#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QHttpServer>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <utility>

namespace rootix::server {

class ScoreStore;

struct ServerOptions {
  QHostAddress address = QHostAddress::LocalHost;
  quint16 port = 8080;           // 0: any free port (see ResultServer::port)
  QString database;              // "sqlite:PATH" or "postgresql://..."
  int idleTimeoutMs = 10000;     // a silent connection is closed after this
  int requestTimeoutMs = 60000;  // a request must have arrived whole within this
  int busyTimeoutMs = 2000;
  // Rendered pages are reused this long; a submission through this process
  // drops them at once, one through another process shows within this time.
  int pageCacheMs = 1000;
  // The operator's token for /admin/; empty: there are no admin routes.
  QByteArray adminToken;
};

// What a request gets: status, type, body and any extra headers.
struct Reply {
  int status = 200;
  QByteArray contentType;
  QByteArray body;
  QList<std::pair<QByteArray, QByteArray>> headers;
};

// The result server: receives submitted scores, keeps them in the database
// and shows them. Everything runs on the thread that owns it.
class ResultServer : public QObject {
  Q_OBJECT
 public:
  explicit ResultServer(ServerOptions options, QObject* parent = nullptr);
  ~ResultServer() override;

  // Opens (and if need be creates or migrates) the database, then listens.
  // Throws std::runtime_error with a message for the user.
  void start();
  quint16 port() const { return port_; }

  // The reply for one request, without any network: method as in HTTP
  // ("GET", "POST", ...), target the path with its query.
  Reply respond(const QByteArray& method, const QByteArray& target, const QByteArray& contentType,
                const QByteArray& body, const QByteArray& authorization = {});

 private:
  Reply route(const QByteArray& method, const QString& path, const QByteArray& query, const QByteArray& contentType,
              const QByteArray& body);
  Reply leaderboard(const QHash<QString, QString>& params);
  Reply scorePage(qint64 id, bool submittedAgain);
  Reply scoreFile(qint64 id);
  Reply scoresJson(const QHash<QString, QString>& params);
  Reply submit(const QByteArray& contentType, const QByteArray& body);
  Reply health();
  // POST /admin/scores/<id> with action=hide|show|confirm and the operator's token.
  Reply moderate(qint64 id, const QByteArray& authorization, const QByteArray& body);
  void clearCache();

  ServerOptions options_;
  std::unique_ptr<ScoreStore> store_;
  QHttpServer http_;
  quint16 port_ = 0;

  struct Cached {
    Reply reply;
    qint64 expires = 0;
  };
  QHash<QByteArray, Cached> cache_;
  qsizetype cacheBytes_ = 0;
};

}  // namespace rootix::server
