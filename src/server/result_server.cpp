#include "server/result_server.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <limits>
#include <stdexcept>
#include <thread>

#include "scores/hardware_summary.h"
#include "server/form.h"
#include "server/pages.h"
#include "server/score_json.h"
#include "server/score_rules.h"
#include "server/score_store.h"
#include "server/submission.h"

namespace rootix::server {
namespace {

constexpr int kBoardRows = 25;
constexpr int kChartBars = 12;
constexpr int kMaxFilter = 100;
constexpr int kMaxJsonLimit = 100;
constexpr qsizetype kCacheBytes = 32 * 1024 * 1024;

const QByteArray kHtml = "text/html; charset=utf-8";
const QByteArray kJson = "application/json";

Reply page(int status, const QString& heading, const QString& text) {
  return Reply{status, kHtml, pages::messagePage(heading, text), {}};
}

Reply hiddenScore() {
  return page(410, QStringLiteral("Score hidden"), QStringLiteral("A moderator has hidden this score."));
}

Reply notFound() { return page(404, QStringLiteral("Not found"), QStringLiteral("There is no page at this address.")); }

Reply methodNotAllowed(const QByteArray& allowed) {
  Reply r = page(405, QStringLiteral("Method not allowed"),
                 QStringLiteral("This address answers only to ") + QString::fromLatin1(allowed) + u'.');
  r.headers.append(std::pair<QByteArray, QByteArray>("Allow", allowed));
  return r;
}

Reply unavailable(const Failure& failure) {
  qWarning("rootix-server: database: %s", qPrintable(failure.text));
  Reply r = page(503, QStringLiteral("Database unavailable"),
                 QStringLiteral("The score database cannot be used just now, so nothing was stored or changed. "
                                "Please try again in a while."));
  r.headers.append(std::pair<QByteArray, QByteArray>("Retry-After", "30"));
  return r;
}

// Compares digests, so the time taken says nothing of where the texts
// differ, nor of the token's length.
bool sameSecret(const QByteArray& given, const QByteArray& secret) {
  const QByteArray a = QCryptographicHash::hash(given, QCryptographicHash::Sha256);
  const QByteArray b = QCryptographicHash::hash(secret, QCryptographicHash::Sha256);
  unsigned char difference = 0;
  for (qsizetype i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

QByteArray headerOf(const Reply& reply, const QByteArray& name) {
  for (const auto& [n, v] : reply.headers) {
    if (n.compare(name, Qt::CaseInsensitive) == 0) return v;
  }
  return {};
}

Reply jsonError(int status, const QString& message) {
  return Reply{status, kJson, QJsonDocument(QJsonObject{{"error", message}}).toJson(QJsonDocument::Compact), {}};
}

// Query parameters as browsers send them: '+' for a space, UTF-8 bytes.
QHash<QString, QString> queryParams(const QByteArray& query) {
  QHash<QString, QString> params;
  const auto fields = parseForm(query);
  for (auto it = fields.begin(); it != fields.end(); ++it)
    params.insert(QString::fromUtf8(it.key()), QString::fromUtf8(it.value()));
  return params;
}

// A whole number from min up, or nullopt; an absent parameter is fallback.
std::optional<qint64> wholeParam(const QHash<QString, QString>& params, const QString& key, qint64 fallback, qint64 min,
                                 qint64 max) {
  if (!params.contains(key) || params.value(key).isEmpty()) return fallback;
  bool ok = false;
  const qint64 v = params.value(key).toLongLong(&ok);
  if (!ok || v < min || v > max) return std::nullopt;
  return v;
}

// 6 and 11 first, as the two standard tests; the rest in number order.
int testOrder(int test) { return test == 6 ? -2 : test == 11 ? -1 : test; }

const QHash<QString, QString>& pictures() {
  static const QHash<QString, QString> names{
      {QStringLiteral("rootixtitle.jpg"), QStringLiteral(":/rootix-server/rootixtitle.jpg")},
      {QStringLiteral("hwbottitle.jpg"), QStringLiteral(":/rootix-server/hwbottitle.jpg")},
      {QStringLiteral("circle-gray.jpg"), QStringLiteral(":/rootix-server/circle-gray.jpg")},
  };
  return names;
}

}  // namespace

ResultServer::ResultServer(ServerOptions options, QObject* parent) : QObject(parent), options_(std::move(options)) {}

ResultServer::~ResultServer() = default;

void ResultServer::openDatabase() {
  auto opened = ScoreStore::open(options_.database, options_.busyTimeoutMs);
  if (!opened) throw std::runtime_error(opened.failure().text.toStdString());
  store_ = std::move(opened).value();
  for (const QString& note : store_->migrationNotes()) qWarning("rootix-server: schema upgrade: %s", qPrintable(note));
}

void ResultServer::start() {
  openDatabase();
  HttpLimits limits;
  limits.idleTimeoutMs = options_.idleTimeoutMs;
  limits.requestTimeoutMs = options_.requestTimeoutMs;
  limits.maxConnections = options_.maxConnections;
  http_ = std::make_unique<HttpListener>(
      limits, [this](const Request& request, const HttpListener::Answer& answer) { handle(request, answer); });
  startReadThreads();
  port_ = http_->listen(options_.address, options_.port);
}

void ResultServer::startReadThreads() {
  int threads = options_.readThreads;
  if (threads < 0) {
    threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, ServerOptions::kMaxReadThreads);
  }
  // Each connection to an in-memory database is a database of its own.
  if (threads == 0 || options_.database.endsWith(u":memory:")) return;
  ServerOptions own = options_;
  own.pageCacheMs = 0;  // the serving thread keeps the pages
  own.readThreads = 0;
  reads_ = std::make_unique<ReadPool>(
      threads,
      [own] {
        // Opened here, so the connection is this thread's; the schema is
        // up to date already.
        auto server = std::make_shared<ResultServer>(own);
        server->openDatabase();
        return [server](const Request& request) { return server->readReply(request); };
      },
      [this](std::function<void()> work) { http_->post(std::move(work)); });
}

void ResultServer::run(std::initializer_list<int> stopSignals) { http_->run(stopSignals); }

void ResultServer::stop() {
  if (http_) http_->stop();
}

namespace {

// The decoded path of a request target and its query as sent.
std::pair<QString, QByteArray> splitTarget(const QByteArray& target) {
  const qsizetype mark = target.indexOf('?');
  return {QString::fromUtf8(QByteArray::fromPercentEncoding(mark < 0 ? target : target.left(mark))),
          mark < 0 ? QByteArray() : target.mid(mark + 1)};
}

bool isSubmission(const Request& request) {
  if (request.method != "POST") return false;
  const auto [path, query] = splitTarget(request.target);
  return path == u"/" && queryParams(query).value(QStringLiteral("q")) == u"submit";
}

// Pages and JSON, made on a read thread. The export streams from the
// serving thread's connection, and the health check is of that connection.
bool isReadApart(const Request& request) {
  if (request.method != "GET" && request.method != "HEAD") return false;
  const QString path = splitTarget(request.target).first;
  return path != u"/api/v1/export" && path != u"/healthz";
}

// Submissions stored together at most: one commit, one wait for the disk.
constexpr qsizetype kMaxBatch = 256;

}  // namespace

void ResultServer::handle(const Request& request, const HttpListener::Answer& answer) {
  if (!isSubmission(request)) {
    if (reads_ && isReadApart(request)) return readApart(request, answer);
    return answer(respond(request));
  }
  if (auto tooMany = overSubmitRate(request)) return answer(withCacheHeaders(*tooMany, {}));
  Result<Submission> read = readSubmission(request.header("Content-Type"), request.body);
  if (!read) {
    const Failure& refusal = read.failure();
    return answer(withCacheHeaders(page(refusal.code, QStringLiteral("Score not accepted"), refusal.text), {}));
  }
  // Stored with the others that arrived together, once those are read.
  pending_.append({std::move(read).value(), answer});
  if (pending_.size() == 1) http_->post([this] { storePending(); });
}

void ResultServer::storePending() {
  QList<Pending> batch;
  if (pending_.size() > kMaxBatch) {
    batch = pending_.first(kMaxBatch);
    pending_.remove(0, kMaxBatch);
    http_->post([this] { storePending(); });
  } else {
    batch.swap(pending_);
  }
  QList<Submission> submissions;
  for (const Pending& p : batch) submissions.append(p.submission);
  QList<Reply> replies;
  try {
    replies = store(submissions);
  } catch (const std::exception& e) {
    qWarning("rootix-server: storing scores failed: %s", e.what());
    const Reply failed =
        page(500, QStringLiteral("Server error"), QStringLiteral("The server failed to answer this request."));
    replies = QList<Reply>(batch.size(), failed);
  }
  for (qsizetype i = 0; i < batch.size(); ++i) batch[i].answer(withCacheHeaders(replies[i], {}));
}

QList<Reply> ResultServer::store(const QList<Submission>& submissions) {
  const ScoreStore::Batch batch = store_->addAll(submissions);
  if (!batch.outcome) recoverFrom(batch.outcome.failure());
  QList<Reply> replies;
  for (const auto& entry : batch.entries) {
    if (!entry) {
      replies.append(unavailable(batch.outcome.failure()));
      continue;
    }
    if (entry->isNew) clearCache();
    // The same run again: its page says when it was submitted first.
    const QByteArray location = "/score/" + QByteArray::number(entry->id) + (entry->isNew ? "" : "?again");
    Reply r = page(303, QStringLiteral("Score received"),
                   QStringLiteral("Your score is at ") + QString::fromLatin1(location));
    r.headers.append(std::pair<QByteArray, QByteArray>("Location", location));
    replies.append(r);
  }
  return replies;
}

Reply ResultServer::respond(const Request& request) {
  const QByteArray& method = request.method;
  const QByteArray& target = request.target;
  const QByteArray contentType = request.header("Content-Type");
  const QByteArray& body = request.body;
  const auto [path, query] = splitTarget(target);
  const bool read = method == "GET" || method == "HEAD";
  if (isSubmission(request)) {
    if (auto tooMany = overSubmitRate(request)) return withCacheHeaders(*tooMany, path);
  }
  if (!read) {
    static thread_local const QRegularExpression adminPath(QStringLiteral("^/admin/scores/([0-9]{1,15})$"));
    if (const auto m = adminPath.match(path); m.hasMatch() && !options_.adminToken.isEmpty()) {
      if (method != "POST") return methodNotAllowed("POST");
      return withCacheHeaders(moderate(m.captured(1).toLongLong(), request), path);
    }
    return withCacheHeaders(route(method, path, query, contentType, body), path);
  }

  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  if (auto hit = cached(target, now)) return conditional(request, *hit);
  const Reply reply = withCacheHeaders(route(method, path, query, contentType, body), path);
  remember(target, path, reply, now);
  return conditional(request, reply);
}

Reply ResultServer::readReply(const Request& request) {
  const std::pair<QString, QByteArray> target = splitTarget(request.target);
  auto make = [&] {
    return withCacheHeaders(
        route(request.method, target.first, target.second, request.header("Content-Type"), request.body), target.first);
  };
  reconnected_ = false;
  const Reply reply = make();
  // Each read thread has a connection of its own to lose (a restarted
  // PostgreSQL): once it is open again, a read is simply made again.
  return reconnected_ ? make() : reply;
}

void ResultServer::readApart(const Request& request, const HttpListener::Answer& answer) {
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  if (auto hit = cached(request.target, now)) return answer(conditional(request, *hit));
  reads_->read(request, [this, request, answer, now, generation = cacheGeneration_](const Reply& reply) {
    // A submission stored meanwhile may be missing from it: used, not kept.
    if (generation == cacheGeneration_) remember(request.target, splitTarget(request.target).first, reply, now);
    answer(conditional(request, reply));
  });
}

std::optional<Reply> ResultServer::cached(const QByteArray& target, qint64 now) const {
  const auto it = cache_.constFind(target);
  if (it == cache_.constEnd() || it->expires <= now) return std::nullopt;
  return it->reply;
}

void ResultServer::remember(const QByteArray& target, const QString& path, const Reply& reply, qint64 now) {
  if (reply.status != 200 || options_.pageCacheMs <= 0 || path == u"/healthz" || reply.stream) return;
  // Filters are free text: the cache is bounded by what it holds, not by
  // how many addresses there are.
  if (cacheBytes_ + reply.body.size() > kCacheBytes) clearCache();
  cacheBytes_ += reply.body.size() + target.size();
  cache_.insert(target, Cached{reply, now + options_.pageCacheMs});
}

Reply ResultServer::conditional(const Request& request, const Reply& reply) {
  // A proxy or browser that holds this very reply gets a short answer.
  const QByteArray etag = headerOf(reply, "ETag");
  if (etag.isEmpty() || !request.header("If-None-Match").split(',').contains(etag)) return reply;
  Reply same{304, {}, {}, {}};
  for (const auto& h : reply.headers) {
    if (h.first == "ETag" || h.first == "Cache-Control") same.headers.append(h);
  }
  return same;
}

Reply ResultServer::withCacheHeaders(Reply reply, const QString& path) {
  if (!headerOf(reply, "Cache-Control").isEmpty()) return reply;
  QByteArray control = "no-store";
  if (reply.status == 200 && path != u"/healthz") {
    // A stored score does not change; lists do with every submission, so a
    // cache must ask again, and the ETag keeps that cheap.
    control = path.startsWith(u"/score/") ? "public, max-age=300" : "public, no-cache";
    const QByteArray hash = QCryptographicHash::hash(reply.body, QCryptographicHash::Sha1).toHex().left(20);
    reply.headers.append({"ETag", '"' + hash + '"'});
  }
  reply.headers.append({"Cache-Control", control});
  return reply;
}

Reply ResultServer::route(const QByteArray& method, const QString& path, const QByteArray& query,
                          const QByteArray& contentType, const QByteArray& body) {
  // One each: the read threads match at the same time.
  static thread_local const QRegularExpression scorePath(QStringLiteral("^/score/([0-9]{1,15})(/file)?$"));
  const bool read = method == "GET" || method == "HEAD";
  const auto params = queryParams(query);
  try {
    if (path == u"/") {
      if (params.value(QStringLiteral("q")) == u"submit") {
        return method == "POST" ? submit(contentType, body) : methodNotAllowed("POST");
      }
      return read ? leaderboard(params) : methodNotAllowed("GET, HEAD");
    }
    if (const auto m = scorePath.match(path); m.hasMatch()) {
      if (!read) return methodNotAllowed("GET, HEAD");
      const qint64 id = m.captured(1).toLongLong();
      return m.hasCaptured(2) ? scoreFile(id) : scorePage(id, params.contains(QStringLiteral("again")));
    }
    if (path == u"/api/v1/scores") return read ? scoresJson(params) : methodNotAllowed("GET, HEAD");
    if (path == u"/api/v1/export") return read ? exportScores() : methodNotAllowed("GET, HEAD");
    if (path == u"/healthz") return read ? health() : methodNotAllowed("GET, HEAD");
    if (path == u"/about")
      return read ? Reply{200, kHtml, pages::aboutPage(kMaxJsonLimit), {}} : methodNotAllowed("GET, HEAD");
    if (path.startsWith(u"/jpg/rootix/")) {
      const QString file = pictures().value(path.mid(12));
      if (file.isEmpty()) return notFound();
      if (!read) return methodNotAllowed("GET, HEAD");
      QFile picture(file);
      picture.open(QIODevice::ReadOnly);
      return Reply{200, "image/jpeg", picture.readAll(), {{"Cache-Control", "public, max-age=86400"}}};
    }
    return notFound();
  } catch (const std::exception& e) {
    qWarning("rootix-server: %s %s failed: %s", method.constData(), qPrintable(path.left(200)), e.what());
    return page(500, QStringLiteral("Server error"), QStringLiteral("The server failed to answer this request."));
  }
}

Reply ResultServer::leaderboard(const QHash<QString, QString>& params) {
  const auto test = wholeParam(params, QStringLiteral("test"), 0, 1, 16);
  const auto pageNumber = wholeParam(params, QStringLiteral("page"), 1, 1, 1'000'000);
  if (!test || !pageNumber) {
    return page(400, QStringLiteral("Bad request"),
                QStringLiteral("test must be a test number (1 to 16) and page a page number (1 or more)."));
  }
  const QString filter = params.value(QStringLiteral("cpu")).trimmed().left(kMaxFilter);
  QList<int> tests;
  QHash<int, qint64> totals;
  const auto withEntries = store_->testsWithEntries(filter);
  if (!withEntries) return failed(withEntries.failure());
  for (const auto& [t, n] : *withEntries) {
    if (*test == 0 || t == *test) {
      tests << t;
      totals.insert(t, n);
    }
  }
  std::sort(tests.begin(), tests.end(), [](int a, int b) { return testOrder(a) < testOrder(b); });

  QList<pages::Board> boards;
  for (int t : tests) {
    pages::Board b;
    b.test = t;
    b.total = totals.value(t);
    b.pageCount = static_cast<int>((b.total + kBoardRows - 1) / kBoardRows);
    b.page = *test ? static_cast<int>(std::min<qint64>(*pageNumber, b.pageCount)) : 1;
    b.firstRank = qint64(b.page - 1) * kBoardRows + 1;
    const ScoreFilter f{t, filter};
    auto rows = store_->ranked(f, b.firstRank - 1, kBoardRows);
    if (!rows) return failed(rows.failure());
    auto best = store_->bestPerProcessor(f, kChartBars);
    if (!best) return failed(best.failure());
    b.rows = std::move(rows).value();
    b.best = std::move(best).value();
    boards << b;
  }
  return Reply{200, kHtml, pages::leaderboardPage(boards, filter, *test != 0), {}};
}

Reply ResultServer::scorePage(qint64 id, bool submittedAgain) {
  const auto found = store_->find(id);
  if (!found) return failed(found.failure());
  const std::optional<StoredScore>& s = *found;
  if (!s) return notFound();
  if (s->hidden) return hiddenScore();
  return Reply{200, kHtml, pages::scorePage(*s, submittedAgain), {}};
}

Reply ResultServer::scoreFile(qint64 id) {
  const auto found = store_->find(id);
  if (!found) return failed(found.failure());
  const std::optional<StoredScore>& s = *found;
  if (!s) return notFound();
  if (s->hidden) return hiddenScore();
  return Reply{200,
               "application/octet-stream",
               s->fileBytes,
               {{"Content-Disposition", "attachment; filename=\"rootix-" + QByteArray::number(id) + ".rxs\""}}};
}

Reply ResultServer::scoresJson(const QHash<QString, QString>& params) {
  const auto test = wholeParam(params, QStringLiteral("test"), 0, 1, 16);
  if (!test) return jsonError(400, QStringLiteral("test must be a test number from 1 to 16"));
  // A larger limit is served as the largest one (the reply says which), so
  // callers that asked for more keep working.
  auto limit = wholeParam(params, QStringLiteral("limit"), 50, 1, std::numeric_limits<qint64>::max());
  if (!limit) return jsonError(400, QStringLiteral("limit must be a whole number, 1 or more"));
  limit = std::min<qint64>(*limit, kMaxJsonLimit);
  const auto offset = wholeParam(params, QStringLiteral("offset"), 0, 0, std::numeric_limits<qint64>::max());
  if (!offset) return jsonError(400, QStringLiteral("offset must be a whole number, 0 or more"));
  const ScoreFilter filter{static_cast<int>(*test), params.value(QStringLiteral("cpu")).trimmed().left(kMaxFilter)};
  // Written as QJsonDocument writes it (keys sorted), without building it.
  QByteArray body =
      "{\"limit\":" + QByteArray::number(*limit) + ",\"offset\":" + QByteArray::number(*offset) + ",\"scores\":[";
  const auto ranked = store_->ranked(filter, *offset, *limit);
  if (!ranked) return failed(ranked.failure());
  const auto total = store_->count(filter);
  if (!total) return failed(total.failure());
  const QList<StoredScore>& scores = *ranked;
  body.reserve(body.size() + scores.size() * 1500);
  for (qsizetype i = 0; i < scores.size(); ++i) {
    if (i) body += ',';
    appendScoreJson(body, scores[i]);
  }
  body += "],\"total\":" + QByteArray::number(*total) + '}';
  return Reply{200, kJson, body, {}};
}

Reply ResultServer::exportScores() {
  // The scores are read a page at a time as the client takes them, so the
  // reply is never whole in memory; scores that arrive meanwhile with a
  // higher id are in it too.
  constexpr int kExportPage = 100;
  Reply r{200,
          "application/x-ndjson",
          {},
          {{"Cache-Control", "no-store"}, {"Content-Disposition", "attachment; filename=\"rootix-scores.jsonl\""}}};
  r.stream = [this, after = qint64(0)]() mutable {
    const auto page = store_->visibleAfter(after, kExportPage);
    if (!page) {
      // Cut off: the client sees an export that did not end.
      recoverFrom(page.failure());
      page.failure().raise();
    }
    QByteArray piece;
    for (const StoredScore& s : *page) {
      piece += exportLine(s);
      after = s.id;
    }
    return piece;
  };
  return r;
}

Reply ResultServer::submit(const QByteArray& contentType, const QByteArray& body) {
  Result<Submission> read = readSubmission(contentType, body);
  if (!read) return page(read.code(), QStringLiteral("Score not accepted"), read.failure().text);
  return store({std::move(read).value()}).front();
}

Reply ResultServer::moderate(qint64 id, const Request& request) {
  const QByteArray authorization = request.header("Authorization");
  const QByteArray from = request.peer.toString().toLatin1();
  const QByteArray scheme = "Bearer ";
  if (!authorization.startsWith(scheme)) {
    Reply r = jsonError(401, QStringLiteral("moderation needs the operator's token: Authorization: Bearer <token>"));
    r.headers.append(std::pair<QByteArray, QByteArray>("WWW-Authenticate", "Bearer realm=\"rootix-server\""));
    return r;
  }
  if (!sameSecret(authorization.mid(scheme.size()).trimmed(), options_.adminToken)) {
    qWarning("rootix-server: moderation refused: a wrong token for score %lld from %s", static_cast<long long>(id),
             from.constData());
    return jsonError(403, QStringLiteral("the token is not the operator's"));
  }
  static const QHash<QByteArray, Moderation> actions{
      {"hide", Moderation::Hide}, {"show", Moderation::Show}, {"confirm", Moderation::Confirm}};
  const QByteArray action = parseForm(request.body).value("action");
  if (!actions.contains(action)) return jsonError(400, QStringLiteral("action must be hide, show or confirm"));
  const auto moderated = store_->moderate(id, actions.value(action));
  if (!moderated) return failed(moderated.failure());
  if (!*moderated) return jsonError(404, QStringLiteral("there is no such score"));
  qWarning("rootix-server: moderation: %s score %lld by %s", action.constData(), static_cast<long long>(id),
           from.constData());
  clearCache();
  const auto found = store_->find(id);
  if (!found) {
    // Done, but not read back: a 503 would say that nothing changed.
    recoverFrom(found.failure());
    found.failure().raise();
  }
  const std::optional<StoredScore>& s = *found;
  return Reply{200,
               kJson,
               QJsonDocument(QJsonObject{{"id", id},
                                         {"action", QString::fromLatin1(action)},
                                         {"hidden", s && s->hidden},
                                         {"confirmed", s && !s->unconfirmed}})
                   .toJson(QJsonDocument::Compact),
               {}};
}

std::optional<Reply> ResultServer::overSubmitRate(const Request& request) {
  const QHostAddress client = clientAddress(request, options_.trustedProxies);
  const int wait = limiter_.admit(client, QDateTime::currentMSecsSinceEpoch());
  if (wait == 0) return std::nullopt;
  Reply r = page(429, QStringLiteral("Too many submissions"),
                 QStringLiteral("This address has sent more than %1 scores in a minute. Please try again in %2 s.")
                     .arg(options_.submitRatePerMinute)
                     .arg(wait));
  r.headers.append({"Retry-After", QByteArray::number(wait)});
  return r;
}

void ResultServer::recoverFrom(const Failure& failure) {
  if (failure.code != ScoreStore::kUnavailable) failure.raise();
  reconnected_ = store_->recover();
}

Reply ResultServer::failed(const Failure& failure) {
  recoverFrom(failure);
  return unavailable(failure);
}

void ResultServer::clearCache() {
  cache_.clear();
  cacheBytes_ = 0;
  ++cacheGeneration_;
}

Reply ResultServer::health() {
  if (const auto alive = store_->ping(); !alive) return failed(alive.failure());
  return Reply{200, "text/plain; charset=utf-8", store_->isReadOnly() ? "ok read-only\n" : "ok\n", {}};
}

}  // namespace rootix::server
