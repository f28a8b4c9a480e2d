#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>

#include "server/http_listener.h"
#include "server/read_pool.h"
#include "server/request.h"
#include "server/submission.h"
#include "server/submit_limiter.h"

namespace rootix::server {

class ScoreStore;

struct ServerOptions {
  QHostAddress address = QHostAddress::LocalHost;
  quint16 port = 8080;           // 0: any free port (see ResultServer::port)
  QString database;              // "sqlite:PATH" or "postgresql://..."
  int idleTimeoutMs = 10000;     // a silent connection is closed after this
  int requestTimeoutMs = 60000;  // a request must have arrived whole within this
  int maxConnections = 256;      // open at once; more are answered 503
  int busyTimeoutMs = 2000;
  // Rendered pages are reused this long; a submission through this process
  // drops them at once, one through another process shows within this time.
  int pageCacheMs = 1000;
  // The operator's token for /admin/; empty: there are no admin routes.
  QByteArray adminToken;
  // Submissions one address may make a minute; 0: no limit.
  int submitRatePerMinute = 30;
  // Reverse proxies whose X-Forwarded-For names the client.
  QList<Subnet> trustedProxies;
  // Threads that make pages and JSON, each with its own database
  // connection; -1: one per hardware thread, at most kMaxReadThreads;
  // 0: the serving thread makes them. An in-memory database has none.
  int readThreads = -1;
  static constexpr int kMaxReadThreads = 8;
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
  // Only the database: enough for respond().
  void openDatabase();
  quint16 port() const { return port_; }
  // Serves on the calling thread (the one that called start) until stop()
  // or one of the signals.
  void run(std::initializer_list<int> stopSignals = {});
  // From any thread.
  void stop();

  // The reply for one request, without any network.
  Reply respond(const Request& request);
  // A read's whole reply, made afresh: without the page cache and never a
  // 304. What a read thread gives the serving thread.
  Reply readReply(const Request& request);

 private:
  Reply route(const QByteArray& method, const QString& path, const QByteArray& query, const QByteArray& contentType,
              const QByteArray& body);
  Reply leaderboard(const QHash<QString, QString>& params);
  Reply scorePage(qint64 id, bool submittedAgain);
  Reply scoreFile(qint64 id);
  Reply scoresJson(const QHash<QString, QString>& params);
  // GET /api/v1/export: every visible score as JSON Lines, streamed.
  Reply exportScores();
  Reply submit(const QByteArray& contentType, const QByteArray& body);
  // What the listener calls: submissions wait to be stored together with
  // the others that arrived at the same time, the rest is answered at once.
  void handle(const Request& request, const HttpListener::Answer& answer);
  void storePending();
  // One reply per submission, from one transaction.
  QList<Reply> store(const QList<Submission>& submissions);
  Reply health();
  // POST /admin/scores/<id> with action=hide|show|confirm and the operator's token.
  Reply moderate(qint64 id, const Request& request);
  // Cache-Control and, for a page, an ETag: what a reverse proxy needs.
  static Reply withCacheHeaders(Reply reply, const QString& path);
  // After a failure of the database, opens a lost connection again. Any
  // other failure (out of memory) is the server's own: it is thrown on to
  // the request's guard, which answers 500 as for anything else.
  void recoverFrom(const Failure& failure);
  // 503 for a failure of the database, after recoverFrom.
  Reply failed(const Failure& failure);
  void clearCache();
  // A cached reply to this target that is still fresh.
  std::optional<Reply> cached(const QByteArray& target, qint64 now) const;
  // Keeps a fresh reply, when it is one the cache may keep.
  void remember(const QByteArray& target, const QString& path, const Reply& reply, qint64 now);
  // The reply, or 304 when the client holds it already.
  static Reply conditional(const Request& request, const Reply& reply);
  // A read made on a read thread; the reply comes back to this one.
  void readApart(const Request& request, const HttpListener::Answer& answer);
  // The read threads' own servers, each with a connection of its own.
  void startReadThreads();
  // 429 with Retry-After when the request's client has submitted too much.
  std::optional<Reply> overSubmitRate(const Request& request);

  ServerOptions options_;
  SubmitLimiter limiter_{options_.submitRatePerMinute};
  std::unique_ptr<ScoreStore> store_;
  std::unique_ptr<HttpListener> http_;
  struct Pending {
    Submission submission;
    HttpListener::Answer answer;
  };
  QList<Pending> pending_;           // after http_: its answers hold connections
  std::unique_ptr<ReadPool> reads_;  // after http_, for the same reason
  quint16 port_ = 0;

  struct Cached {
    Reply reply;
    qint64 expires = 0;
  };
  QHash<QByteArray, Cached> cache_;
  qsizetype cacheBytes_ = 0;
  // Counts the clearings: a page read before one is not kept after it.
  quint64 cacheGeneration_ = 0;
  // The last failed request found the connection gone and opened it again.
  bool reconnected_ = false;
};

}  // namespace rootix::server
