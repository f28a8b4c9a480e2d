// rootix-server: receives submitted Rootix scores and shows leaderboards.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <exception>

#include "server/result_server.h"
#include "server/score_json.h"
#include "server/score_store.h"

namespace {

const char* const kUsage =
    "usage: rootix-server [--listen ADDR:PORT] [--db sqlite:PATH | --db postgresql://user@host:port/dbname]\n"
    "                     [--admin-token-file PATH] [--page-cache-ms MS] [--submit-rate N]\n"
    "                     [--trusted-proxy ADDR[/PREFIX]]... [--read-threads N] [--import FILE]\n"
    "  --listen            address and port to serve on (default 127.0.0.1:8080)\n"
    "  --db                the score database (default: an SQLite file in the user's data folder)\n"
    "  --admin-token-file  a file holding the operator's token for POST /admin/scores/<id>\n"
    "                      (or the environment variable ROOTIX_SERVER_ADMIN_TOKEN); without one\n"
    "                      there are no admin routes\n"
    "  --page-cache-ms     how long a rendered page is reused (default 1000, 0: never)\n"
    "  --submit-rate       submissions one address may make a minute (default 30, 0: no limit)\n"
    "  --trusted-proxy     a reverse proxy (address or network) whose X-Forwarded-For names the\n"
    "                      client; may be given more than once\n"
    "  --read-threads      threads that make pages, each with its own database connection\n"
    "                      (default: one per hardware thread, at most 8; 0: the serving thread)\n"
    "  --import            load a file of GET /api/v1/export into the database and exit\n"
    "                      (runs stored already are skipped)\n"
    "Options take their value after a space or after '='.\n";

// A token shorter than this is too easy to guess.
constexpr qsizetype kMinTokenLength = 16;

// The token from a file (its first line) or the environment; an error text
// when one is given but cannot be used.
QString readAdminToken(const QString& file, QByteArray& token) {
  if (!file.isEmpty()) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("cannot read the token file \"%1\"").arg(file);
    token = f.read(4096).split('\n').first().trimmed();
  } else {
    token = qgetenv("ROOTIX_SERVER_ADMIN_TOKEN").trimmed();
    if (token.isEmpty()) return {};
  }
  if (token.size() < kMinTokenLength) {
    return QStringLiteral("the admin token must be at least %1 characters long").arg(kMinTokenLength);
  }
  return {};
}

bool parseListen(const QString& text, rootix::server::ServerOptions& options) {
  const qsizetype colon = text.lastIndexOf(u':');
  if (colon <= 0) return false;
  QString host = text.left(colon);
  if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
  bool ok = false;
  const uint port = text.mid(colon + 1).toUInt(&ok);
  if (!ok || port > 65535 || !options.address.setAddress(host)) return false;
  options.port = static_cast<quint16>(port);
  return true;
}

int runImport(const QString& file, const QString& database) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "rootix-server: cannot read \"%s\": %s\n", qPrintable(file), qPrintable(in.errorString()));
    return 1;
  }
  const auto store = rootix::server::ScoreStore::open(database);
  if (!store) {
    std::fprintf(stderr, "rootix-server: %s\n", qPrintable(store.failure().text));
    return 1;
  }
  const auto report = rootix::server::importScores(**store, in);
  for (const QString& line : report.refused) std::fprintf(stderr, "rootix-server: refused %s\n", qPrintable(line));
  std::printf("rootix-server: %lld stored, %lld skipped (stored already), %lld refused\n",
              static_cast<long long>(report.stored), static_cast<long long>(report.skipped),
              static_cast<long long>(report.refused.size()));
  if (!report.outcome) {
    std::fprintf(stderr, "rootix-server: the import stopped: %s\n", qPrintable(report.outcome.failure().text));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("rootix-server"));
  rootix::server::ServerOptions options;

  const QStringList args = QCoreApplication::arguments().mid(1);
  QString tokenFile;
  QString importFile;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == u"--help" || arg == u"-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    // "--name value" or "--name=value".
    const qsizetype eq = arg.indexOf(u'=');
    const QString a = eq > 0 ? arg.left(eq) : arg;
    const bool known = a == u"--listen" || a == u"--db" || a == u"--admin-token-file" || a == u"--page-cache-ms" ||
                       a == u"--submit-rate" || a == u"--trusted-proxy" || a == u"--import" || a == u"--read-threads";
    if (!known || (eq < 0 && i + 1 >= args.size())) {
      std::fprintf(stderr, "rootix-server: unknown argument \"%s\"\n%s", qPrintable(arg), kUsage);
      return 2;
    }
    const QString value = eq > 0 ? arg.mid(eq + 1) : args[++i];
    bool ok = true;
    if (a == u"--db") {
      options.database = value;
    } else if (a == u"--import") {
      importFile = value;
    } else if (a == u"--admin-token-file") {
      tokenFile = value;
    } else if (a == u"--submit-rate") {
      options.submitRatePerMinute = value.toInt(&ok);
      ok = ok && options.submitRatePerMinute >= 0;
    } else if (a == u"--trusted-proxy") {
      const auto subnet =
          value.contains(u'/') ? QHostAddress::parseSubnet(value) : rootix::server::Subnet{QHostAddress(value), -1};
      ok = !subnet.first.isNull();
      options.trustedProxies.append(subnet);
    } else if (a == u"--read-threads") {
      options.readThreads = value.toInt(&ok);
      ok = ok && options.readThreads >= 0 && options.readThreads <= rootix::server::ServerOptions::kMaxReadThreads;
    } else if (a == u"--page-cache-ms") {
      options.pageCacheMs = value.toInt(&ok);
      ok = ok && options.pageCacheMs >= 0;
    } else {
      ok = parseListen(value, options);
    }
    if (!ok) {
      std::fprintf(stderr, "rootix-server: cannot read %s \"%s\"\n%s", qPrintable(a), qPrintable(value), kUsage);
      return 2;
    }
  }
  if (const QString error = readAdminToken(tokenFile, options.adminToken); !error.isEmpty()) {
    std::fprintf(stderr, "rootix-server: %s\n", qPrintable(error));
    return 2;
  }
  if (options.database.isEmpty()) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
      std::fprintf(stderr, "rootix-server: cannot create the data folder \"%s\"\n", qPrintable(folder));
      return 1;
    }
    options.database = QStringLiteral("sqlite:") + QDir(folder).filePath(QStringLiteral("scores.sqlite"));
  }

  if (!importFile.isEmpty()) return runImport(importFile, options.database);

  rootix::server::ResultServer server(options);
  try {
    server.start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rootix-server: %s\n", e.what());
    return 1;
  }
  std::printf("rootix-server: serving http://%s:%u/ with %s\n", qPrintable(options.address.toString()),
              unsigned(server.port()), qPrintable(options.database.section(u'@', -1)));
  std::fflush(stdout);
  // Qt's event loop is not needed: Qt SQL works without one.
  server.run({SIGINT, SIGTERM});
  return 0;
}
