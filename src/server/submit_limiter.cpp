#include "server/submit_limiter.h"

#include <algorithm>
#include <cmath>

namespace rootix::server {
namespace {

bool trusted(const QHostAddress& address, const QList<Subnet>& proxies) {
  return std::any_of(proxies.begin(), proxies.end(), [&](const Subnet& s) {
    return s.second < 0 ? address.isEqual(s.first, QHostAddress::ConvertV4MappedToIPv4) : address.isInSubnet(s);
  });
}

// Many addresses that never come back would otherwise fill the table.
constexpr qsizetype kMaxBuckets = 100000;

// One bucket per IPv4 address, and per /64 for IPv6: a single host is
// usually given a whole /64, so its addresses cost it nothing to change.
QString bucketKey(const QHostAddress& address) {
  bool v4 = false;
  const quint32 ip4 = address.toIPv4Address(&v4);
  if (v4) return QHostAddress(ip4).toString();
  Q_IPV6ADDR ip6 = address.toIPv6Address();
  for (int i = 8; i < 16; ++i) ip6[i] = 0;
  return QHostAddress(ip6).toString() + QStringLiteral("/64");
}

}  // namespace

QHostAddress clientAddress(const Request& request, const QList<Subnet>& trustedProxies) {
  if (!trusted(request.peer, trustedProxies)) return request.peer;
  QByteArray forwarded;
  for (const auto& [name, value] : request.headers) {
    if (name.compare("X-Forwarded-For", Qt::CaseInsensitive) == 0)
      forwarded += (forwarded.isEmpty() ? "" : ",") + value;
  }
  const QList<QByteArray> hops = forwarded.split(',');
  for (auto it = hops.rbegin(); it != hops.rend(); ++it) {
    QHostAddress hop;
    if (!hop.setAddress(QString::fromLatin1(it->trimmed()))) break;  // unreadable: trust nothing before it
    if (!trusted(hop, trustedProxies)) return hop;
  }
  return request.peer;
}

int SubmitLimiter::admit(const QHostAddress& address, qint64 nowMs) {
  if (perMinute_ <= 0) return 0;
  const double perMs = perMinute_ / 60000.0;
  if (buckets_.size() >= kMaxBuckets) {
    // Buckets that have refilled say nothing a new one would not.
    buckets_.removeIf(
        [&](const auto& it) { return it.value().tokens + (nowMs - it.value().atMs) * perMs >= perMinute_; });
    // Memory stays bounded even when that many senders are all busy.
    if (buckets_.size() >= kMaxBuckets) buckets_.clear();
  }
  const QString key = bucketKey(address);
  auto it = buckets_.find(key);
  if (it == buckets_.end()) it = buckets_.insert(key, Bucket{double(perMinute_), nowMs});
  Bucket& b = *it;
  b.tokens = std::min<double>(perMinute_, b.tokens + static_cast<double>(nowMs - b.atMs) * perMs);
  b.atMs = nowMs;
  if (b.tokens >= 1) {
    b.tokens -= 1;
    return 0;
  }
  return std::max(1, static_cast<int>(std::ceil((1 - b.tokens) / perMs / 1000)));
}

}  // namespace rootix::server
