#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <utility>

#include "server/request.h"

namespace rootix::server {

// A network written as ADDR/PREFIX; a prefix of -1 is the one address.
using Subnet = std::pair<QHostAddress, int>;

// Who sent a request: the connection's address, or, when that is one of the
// trusted proxies, the last address in X-Forwarded-For that is not one of
// them (a client can write anything in front of what the proxies add).
QHostAddress clientAddress(const Request& request, const QList<Subnet>& trustedProxies);

// How many submissions one address may make: perMinute at once, then one
// every 60 / perMinute seconds (a bucket that refills). Time comes from the
// caller, so tests need no clock.
class SubmitLimiter {
 public:
  explicit SubmitLimiter(int perMinute) : perMinute_(perMinute) {}
  // 0 when a submission from address may go ahead now (and counts it),
  // otherwise the whole seconds until it may.
  int admit(const QHostAddress& address, qint64 nowMs);

 private:
  struct Bucket {
    double tokens = 0;
    qint64 atMs = 0;
  };
  int perMinute_;
  QHash<QString, Bucket> buckets_;
};

}  // namespace rootix::server
