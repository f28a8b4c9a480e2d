// rootix-server: receives submitted Rootix scores and shows leaderboards.
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <exception>

#include "server/result_server.h"

namespace {

const char* const kUsage =
    "usage: rootix-server [--listen ADDR:PORT] [--db sqlite:PATH | --db postgresql://user@host:port/dbname]\n"
    "  --listen  address and port to serve on (default 127.0.0.1:8080)\n"
    "  --db      the score database (default: an SQLite file in the user's data folder)\n";

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

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("rootix-server"));
  rootix::server::ServerOptions options;

  const QStringList args = QCoreApplication::arguments().mid(1);
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == u"--help" || a == u"-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if ((a == u"--listen" || a == u"--db") && i + 1 < args.size()) {
      const QString value = args[++i];
      if (a == u"--db") {
        options.database = value;
      } else if (!parseListen(value, options)) {
        std::fprintf(stderr, "rootix-server: cannot read the address \"%s\" (use ADDR:PORT)\n", qPrintable(value));
        return 2;
      }
      continue;
    }
    std::fprintf(stderr, "rootix-server: unknown argument \"%s\"\n%s", qPrintable(a), kUsage);
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
