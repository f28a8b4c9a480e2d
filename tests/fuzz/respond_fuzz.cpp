// libFuzzer target for the server's answer to one request, on a database in
// memory: routing, query parameters, submissions, pages and JSON. The first
// byte picks the method, the rest up to a line break is the target and what
// follows the body. Every input must get a reply, never an exception.
#include <QByteArray>
#include <QCoreApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "server/result_server.h"

namespace {

using namespace rootix::server;

ResultServer& server() {
  static int argc = 1;
  static char name[] = "fuzz_respond";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  static const std::unique_ptr<ResultServer> s = [] {
    ServerOptions options;
    options.database = QStringLiteral("sqlite::memory:");
    options.pageCacheMs = 0;  // every input reaches the handlers
    options.submitRatePerMinute = 0;  // and every submission the store
    auto made = std::make_unique<ResultServer>(options);
    made->openDatabase();
    return made;
  }();
  return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char* const methods[] = {"GET", "HEAD", "POST", "PUT"};
  const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
  Request request;
  request.method = methods[data[0] % 4];
  const qsizetype end = bytes.indexOf('\n');
  request.target = end < 0 ? bytes : bytes.left(end);
  request.body = end < 0 ? QByteArray() : bytes.mid(end + 1);
  request.headers.append(std::pair<QByteArray, QByteArray>("Content-Type", "application/x-www-form-urlencoded"));
  const Reply reply = server().respond(request);
  if (reply.status < 200 || reply.status > 599) {
    std::fprintf(stderr, "status %d\n", reply.status);
    std::abort();
  }
  if (reply.status >= 500 && reply.status != 503) {
    std::fprintf(stderr, "server error %d for %s\n", reply.status, request.target.left(200).constData());
    std::abort();
  }
  return 0;
}
