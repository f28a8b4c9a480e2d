// Load benchmark of rootix-server: N concurrent keep-alive clients on
// 127.0.0.1 post a bounded count of distinct scores, then fetch a bounded
// count of leaderboard pages and of JSON pages, at pages, offsets and
// processor filters drawn at random, with the server's page cache off.
// Reports requests per second and latency percentiles for each phase, and
// checks that every accepted submission is stored exactly once. --fill N
// first loads N scores straight into the database (one transaction, not
// through HTTP), for figures at a large board.
//   rootix_server_bench [--db sqlite|postgresql] [--clients 32] [--submissions 20000] [--pages 100000]
//                       [--json 50000] [--fill 0] [--sqlite-file PATH] [--read-threads N]
// PostgreSQL comes from ROOTIX_TEST_POSTGRESQL (scripts/with-postgres.sh sets it).
// ROOTIX_BENCH_TRACE=1 prints every request slower than 200 ms.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "scores/score.h"
#include "server/score_store.h"
#include "server/submission.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Response {
  int status = 0;
  QByteArray location;
  QByteArray body;
};

// One keep-alive connection with blocking reads and writes.
class Connection {
 public:
  explicit Connection(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Connection() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

  bool exchange(const QByteArray& request, Response& response) {
    for (qsizetype sent = 0; sent < request.size();) {
      const ssize_t n =
          ::send(fd_, request.constData() + sent, static_cast<size_t>(request.size() - sent), MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += n;
    }
    while (true) {
      const qsizetype end = buffer_.indexOf("\r\n\r\n");
      if (end >= 0) {
        const QByteArray head = buffer_.left(end);
        qsizetype length = 0;
        response.location.clear();
        for (const QByteArray& line : head.split('\n')) {
          const QByteArray lower = line.toLower();
          if (lower.startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
          if (lower.startsWith("location:")) response.location = line.mid(9).trimmed();
        }
        if (buffer_.size() >= end + 4 + length) {
          response.status = head.mid(9, 3).toInt();
          response.body = buffer_.mid(end + 4, length);
          buffer_.remove(0, end + 4 + length);
          return true;
        }
      }
      char chunk[65536];
      const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return false;
      buffer_.append(chunk, n);
    }
  }

 private:
  int fd_ = -1;
  QByteArray buffer_;
};

struct PhaseResult {
  double seconds = 0;
  size_t done = 0;
  size_t failed = 0;
  std::vector<double> latencyMs;
};

// Runs requests 0..count-1 over `clients` connections; check says whether a
// response is the expected one.
template <typename MakeRequest, typename Check>
PhaseResult runPhase(int port, int clients, size_t count, MakeRequest makeRequest, Check check) {
  std::atomic<size_t> next = 0;
  std::mutex merge;
  PhaseResult result;
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&] {
      std::vector<double> latencies;
      size_t failed = 0;
      auto connection = std::make_unique<Connection>(port);
      Response response;
      for (size_t i = next++; i < count; i = next++) {
        const QByteArray request = makeRequest(i);
        const auto t0 = Clock::now();
        bool ok = connection->ok() && connection->exchange(request, response);
        latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (qEnvironmentVariableIsSet("ROOTIX_BENCH_TRACE") && latencies.back() > 200)
          std::fprintf(stderr, "slow: request %zu took %.0f ms (%zu on this connection)\n", i, latencies.back(),
                       latencies.size());
        if (!ok) connection = std::make_unique<Connection>(port);
        if (!ok || !check(i, response)) ++failed;
      }
      std::lock_guard lock(merge);
      result.latencyMs.insert(result.latencyMs.end(), latencies.begin(), latencies.end());
      result.failed += failed;
    });
  }
  for (auto& t : threads) t.join();
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.done = count;
  std::sort(result.latencyMs.begin(), result.latencyMs.end());
  return result;
}

double percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  return sorted[std::min(sorted.size() - 1, static_cast<size_t>(p / 100.0 * static_cast<double>(sorted.size())))];
}

// serverCpu: the server's CPU seconds during the phase. On a shared machine
// the rate depends on what else runs; the CPU per request much less so.
void report(const char* name, const PhaseResult& r, double serverCpu) {
  std::printf(
      "%-18s %7zu requests %6.2f s %7.0f /s  p50 %6.2f ms  p99 %6.2f ms  max %7.2f ms  failed %zu"
      "  server CPU %5.0f us/request\n",
      name, r.done, r.seconds, static_cast<double>(r.done) / r.seconds, percentile(r.latencyMs, 50),
      percentile(r.latencyMs, 99), r.latencyMs.empty() ? 0 : r.latencyMs.back(), r.failed,
      r.done ? serverCpu / static_cast<double>(r.done) * 1e6 : 0);
}

// CPU seconds the process has used (user + system), from /proc.
double cpuSeconds(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return 0;
  const QByteArray text = stat.readAll();
  const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 13) return 0;
  return (fields[11].toDouble() + fields[12].toDouble()) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

rootix::scores::Score benchScore(size_t i) {
  rootix::scores::HardwareSummary hw;
  hw.score_extra_cpu_string = QStringLiteral("Bench Processor %1").arg(i % 20);
  hw.score_extra_cpu_clock = QStringLiteral("%1 MHz").arg(2000 + 100 * (i % 20));
  hw.score_extra_memType = QStringLiteral("DDR4");
  hw.score_extra_memSize = QStringLiteral("16384 MB");
  hw.score_extra_mbVendor = QStringLiteral("Bench Boards");
  hw.score_extra_mbModel = QStringLiteral("B-%1").arg(i % 7);
  hw.score_extra_cpu_count = QStringLiteral("1");
  // Distinct times make distinct score texts.
  return rootix::scores::Score::Create(5 + static_cast<double>(i) * 0.001, i % 3 ? 6 : 11, hw);
}

constexpr int kProcessors = 20;
constexpr int kBoardRows = 25;

QByteArray submission(size_t i) {
  const QByteArray data = rootix::text::toSingleByte(benchScore(i).toString(false));
  const QByteArray form =
      "data=" + data.toPercentEncoding() + "&title=bench+" + QByteArray::number(qulonglong(i)) + "&description=&link=";
  return "POST /?q=submit HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
         "Content-Length: " +
         QByteArray::number(form.size()) + "\r\n\r\n" + form;
}

// The same i gives the same draw, whichever client thread asks.
uint64_t draw(size_t i, uint64_t salt) {
  uint64_t x = (static_cast<uint64_t>(i) + 1) * 0x9E3779B97F4A7C15ull ^ salt;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

constexpr int kFillProcessors = 200;

// Stores count scores without HTTP, as a large community would have them:
// 200 processors, some much more common than others, each with its own
// speed and a spread of times about it, two thirds on test 6 and a third on
// test 11, one in 30 without a clock (unconfirmed), over three years. All
// in one transaction; the boards' summaries are built as an upgrade does.
void fill(const QString& database, size_t count) {
  const auto opened = rootix::server::ScoreStore::open(database);
  if (!opened) {
    std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(database), qPrintable(opened.failure().text));
    std::exit(1);
  }
  rootix::server::ScoreStore& store = **opened;
  const QDateTime firstDay = QDateTime::currentDateTimeUtc().addYears(-3);
  constexpr size_t kBatch = 10000;
  size_t at = 0;
  const rootix::Result<void> loaded = store.bulkLoad([&](QList<rootix::server::Submission>& batch) {
    for (; at < count && batch.size() < qsizetype(kBatch); ++at) {
      const double u = double(draw(at, 3) % 1'000'000) / 1e6;
      const int processor = static_cast<int>(kFillProcessors * u * u);
      const int test = draw(at, 4) % 3 ? 6 : 11;
      const double spread = 1 + 0.3 * (double(draw(at, 5) % 1'000'000) / 1e6 - 0.5);
      const double seconds = std::round((4 + processor * 0.05) * (test == 11 ? 3 : 1) * spread * 1000) / 1000;
      rootix::scores::HardwareSummary hw;
      hw.score_extra_cpu_string = QStringLiteral("Bench Processor %1").arg(processor);
      hw.score_extra_cpu_clock =
          draw(at, 6) % 30 ? QStringLiteral("%1 MHz").arg(2000 + 10 * processor) : QStringLiteral("0 MHz");
      hw.score_extra_memType = QStringLiteral("DDR4");
      hw.score_extra_memSize = QStringLiteral("16384 MB");
      hw.score_extra_mbVendor = QStringLiteral("Bench Boards");
      // Every machine its own board: no two runs are one.
      hw.score_extra_mbModel = QStringLiteral("F-%1").arg(at);
      hw.score_extra_cpu_count = QStringLiteral("1");
      rootix::server::Submission s;
      s.score = rootix::scores::Score::Create(seconds, static_cast<int16_t>(test), hw);
      const QString text = s.score.toString(true);
      s.fileBytes = rootix::text::toSingleByte(s.score.toString(false));
      s.checksum = text.split(QStringLiteral("\r\n")).value(21);
      s.doubts = hw.score_extra_cpu_clock.startsWith(u'0') ? 1u : 0u;
      s.title = QStringLiteral("fill %1").arg(at);
      s.submitted = firstDay.addSecs(static_cast<qint64>(at * (3 * 365 * 86400ull) / std::max<size_t>(1, count)));
      batch.append(std::move(s));
    }
    return !batch.isEmpty();
  });
  if (!loaded) {
    std::fprintf(stderr, "filling failed: %s\n", qPrintable(loaded.failure().text));
    std::exit(1);
  }
}

// Leaderboard pages: a random page of test 6 or 11, a random page of one
// processor's board, or the front page. stored: scores in the database.
QByteArray pageRequest(size_t i, qint64 stored) {
  const qint64 pages6 = std::max<qint64>(1, stored * 2 / 3 / kBoardRows);
  const qint64 pages11 = std::max<qint64>(1, stored / 3 / kBoardRows);
  const uint64_t r = draw(i, 1);
  QByteArray target;
  switch (r % 10) {
    case 0:
      target = "/";
      break;
    case 1:
    case 2:
      target = "/?test=11&page=" + QByteArray::number(1 + qint64(r / 10 % uint64_t(pages11)));
      break;
    case 3:
    case 4:
      target = "/?test=6&cpu=processor+" + QByteArray::number(qint64(r / 10 % kProcessors)) +
               "&page=" + QByteArray::number(1 + qint64(r / 200 % uint64_t(std::max<qint64>(1, pages6 / kProcessors))));
      break;
    default:
      target = "/?test=6&page=" + QByteArray::number(1 + qint64(r / 10 % uint64_t(pages6)));
  }
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

// JSON at a random offset of test 6.
QByteArray jsonRequest(size_t i, qint64 stored) {
  const qint64 offset = qint64(draw(i, 2) % uint64_t(std::max<qint64>(1, stored * 2 / 3)));
  return "GET /api/v1/scores?test=6&limit=50&offset=" + QByteArray::number(offset) +
         " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QString db = QStringLiteral("sqlite");
  int clients = 32;
  size_t submissions = 20000, pages = 100000, jsonPages = 50000, filled = 0;
  QString sqliteFile;   // kept after the run; a temporary one otherwise
  QString readThreads;  // the server's own choice when empty
  const QStringList args = QCoreApplication::arguments();
  for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
    if (args[i] == u"--db")
      db = args[i + 1];
    else if (args[i] == u"--clients")
      clients = args[i + 1].toInt();
    else if (args[i] == u"--submissions")
      submissions = args[i + 1].toULongLong();
    else if (args[i] == u"--pages")
      pages = args[i + 1].toULongLong();
    else if (args[i] == u"--json")
      jsonPages = args[i + 1].toULongLong();
    else if (args[i] == u"--fill")
      filled = args[i + 1].toULongLong();
    else if (args[i] == u"--sqlite-file")
      sqliteFile = args[i + 1];
    else if (args[i] == u"--read-threads")
      readThreads = args[i + 1];
  }

  QTemporaryDir dir;
  QString database;
  if (db == u"sqlite") {
    database =
        QStringLiteral("sqlite:") + (sqliteFile.isEmpty() ? dir.filePath(QStringLiteral("bench.sqlite")) : sqliteFile);
  } else {
    database = qEnvironmentVariable("ROOTIX_TEST_POSTGRESQL");
    if (database.isEmpty()) {
      std::printf("PostgreSQL run skipped: ROOTIX_TEST_POSTGRESQL is not set (run under scripts/with-postgres.sh)\n");
      return 0;
    }
  }

  if (filled > 0) {
    const auto t0 = Clock::now();
    fill(database, filled);
    std::printf("filled %zu scores in %.1f s\n", filled, std::chrono::duration<double>(Clock::now() - t0).count());
  }

  const int port = freePort();
  QProcess server;
  server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QStringList serverArgs{
      QStringLiteral("--listen"),        QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--db"), database,
      QStringLiteral("--submit-rate=0"), QStringLiteral("--page-cache-ms=0")};
  if (!readThreads.isEmpty()) serverArgs << QStringLiteral("--read-threads=") + readThreads;
  server.start(QStringLiteral(ROOTIX_SERVER_PATH), serverArgs);
  if (!server.waitForReadyRead(10000)) {
    std::fprintf(stderr, "rootix-server did not start\n");
    return 1;
  }
  // Start from an empty database: a PostgreSQL one may hold an earlier run.
  if (db != u"sqlite") {
    std::printf("note: PostgreSQL database may hold scores of earlier runs; counts below are of this run\n");
  }

  double load = 0;
  if (QFile f(QStringLiteral("/proc/loadavg")); f.open(QIODevice::ReadOnly))
    load = f.readAll().split(' ').first().toDouble();
  std::printf("rootix-server load, %s, %d clients, %u hardware threads, load average %.1f before the run\n",
              qPrintable(db), clients, std::thread::hardware_concurrency(), load);
  // Idle connections are closed by the server, so each count gets its own.
  Response probe;
  Connection(port).exchange("GET /api/v1/scores?limit=1 HTTP/1.1\r\nHost: x\r\n\r\n", probe);
  const qint64 before = QJsonDocument::fromJson(probe.body).object().value("total").toInteger();
  // Numbered on from what is stored: a run on a database kept from an
  // earlier one sends new scores, not the same runs again.
  std::vector<QByteArray> bodies(submissions);
  for (size_t i = 0; i < submissions; ++i) bodies[i] = submission(static_cast<size_t>(before) + i);

  // The SQLite log's largest size while submissions arrive: it must stay
  // bounded however many there are.
  const QString log = database.startsWith(u"sqlite:") ? database.mid(7) + QStringLiteral("-wal") : QString();
  std::atomic<bool> posting = true;
  std::atomic<qint64> largestLog = 0;
  std::thread logWatch([&] {
    while (!log.isEmpty() && posting) {
      largestLog = std::max<qint64>(largestLog, QFileInfo(log).size());
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });

  const double cpu0 = cpuSeconds(server.processId());
  std::mutex idsLock;
  QSet<QByteArray> ids;
  const PhaseResult posted = runPhase(
      port, clients, submissions, [&](size_t i) { return bodies[i]; },
      [&](size_t, const Response& r) {
        if (r.status != 303) return false;
        std::lock_guard lock(idsLock);
        ids.insert(r.location);
        return true;
      });
  const double cpu1 = cpuSeconds(server.processId());
  posting = false;
  logWatch.join();
  const qint64 stored = before + static_cast<qint64>(submissions);
  const PhaseResult read = runPhase(
      port, clients, pages, [&](size_t i) { return pageRequest(i, stored); },
      [](size_t, const Response& r) { return r.status == 200 && r.body.size() > 1000; });
  const double cpu2a = cpuSeconds(server.processId());
  const PhaseResult json = runPhase(
      port, clients, jsonPages, [&](size_t i) { return jsonRequest(i, stored); },
      [](size_t, const Response& r) { return r.status == 200 && r.body.contains("\"scores\""); });

  Connection(port).exchange("GET /api/v1/scores?limit=1 HTTP/1.1\r\nHost: x\r\n\r\n", probe);
  const qint64 after = QJsonDocument::fromJson(probe.body).object().value("total").toInteger();

  const double cpu2 = cpuSeconds(server.processId());
  report("submissions", posted, cpu1 - cpu0);
  report("leaderboard pages", read, cpu2a - cpu1);
  report("JSON, random offsets", json, cpu2 - cpu2a);
  const size_t accepted = posted.done - posted.failed;
  const bool exact = ids.size() == static_cast<qsizetype>(accepted) && after - before == static_cast<qint64>(accepted);
  std::printf("accepted %zu, distinct entries %lld, stored by this run %lld: %s\n", accepted,
              static_cast<long long>(ids.size()), static_cast<long long>(after - before),
              exact ? "every accepted submission stored exactly once" : "MISMATCH");
  if (!log.isEmpty()) {
    std::printf("SQLite log (-wal) at most %.1f MB during the submissions\n", double(largestLog) / (1024 * 1024));
  }
  server.terminate();
  server.waitForFinished(5000);
  return exact && posted.failed == 0 && read.failed == 0 && json.failed == 0 ? 0 : 1;
}
