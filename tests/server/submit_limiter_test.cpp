// Who a request comes from, and how often it may submit, without a network.
#include "server/submit_limiter.h"

#include <gtest/gtest.h>

namespace rootix::server {
namespace {

Request from(const char* peer, QList<QByteArray> forwardedFor = {}) {
  Request r;
  r.peer = QHostAddress(QString::fromLatin1(peer));
  for (const QByteArray& value : forwardedFor) r.headers.append({"X-Forwarded-For", value});
  return r;
}

TEST(ClientAddress, ForwardedForCountsOnlyFromTrustedProxies) {
  const QList<Subnet> proxies{QHostAddress::parseSubnet(QStringLiteral("10.0.0.0/8")),
                              {QHostAddress(QStringLiteral("127.0.0.1")), -1}};
  struct Case {
    const char* name;
    Request request;
    const char* client;
  };
  const Case cases[] = {
      {"NoProxy", from("203.0.113.5"), "203.0.113.5"},
      {"UntrustedPeerCannotClaimAnAddress", from("203.0.113.5", {"198.51.100.1"}), "203.0.113.5"},
      {"TrustedProxy", from("127.0.0.1", {"198.51.100.1"}), "198.51.100.1"},
      {"ClientWritesAFakeHopInFront", from("127.0.0.1", {"1.2.3.4, 198.51.100.1"}), "198.51.100.1"},
      {"ChainOfTrustedProxies", from("10.1.1.1", {"198.51.100.1, 10.2.2.2"}), "198.51.100.1"},
      {"SeveralHeaders", from("127.0.0.1", {"1.2.3.4", "198.51.100.1"}), "198.51.100.1"},
      {"GarbageFromTheProxyIsNotTrusted", from("127.0.0.1", {"198.51.100.1, nonsense"}), "127.0.0.1"},
      {"OnlyProxies", from("127.0.0.1", {"10.0.0.1"}), "127.0.0.1"},
      {"TrustedProxyWithoutHeader", from("127.0.0.1"), "127.0.0.1"},
      {"IPv6Client", from("127.0.0.1", {"2001:db8::1"}), "2001:db8::1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(clientAddress(c.request, proxies).toString().toStdString(), c.client) << c.name;
  }
}

TEST(SubmitLimiter, AllowsTheRateAndRefillsOverTheMinute) {
  SubmitLimiter limiter(30);
  const QHostAddress a(QStringLiteral("198.51.100.1")), b(QStringLiteral("198.51.100.2"));
  for (int i = 0; i < 30; ++i) ASSERT_EQ(limiter.admit(a, 1000), 0) << i;
  EXPECT_EQ(limiter.admit(a, 1000), 2) << "one more every two seconds";
  EXPECT_EQ(limiter.admit(b, 1000), 0) << "each address has its own";
  EXPECT_EQ(limiter.admit(a, 2500), 1);
  EXPECT_EQ(limiter.admit(a, 3000), 0);
  EXPECT_EQ(limiter.admit(a, 3000), 2);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(limiter.admit(a, 70000), 0) << "full again after a minute: " << i;
  // An IPv6 host has a /64 to choose from: it is one sender.
  SubmitLimiter v6(1);
  EXPECT_EQ(v6.admit(QHostAddress(QStringLiteral("2001:db8:1:2::1")), 0), 0);
  EXPECT_GT(v6.admit(QHostAddress(QStringLiteral("2001:db8:1:2:ffff::9")), 0), 0) << "same /64";
  EXPECT_EQ(v6.admit(QHostAddress(QStringLiteral("2001:db8:1:3::1")), 0), 0) << "another /64";
  EXPECT_EQ(v6.admit(QHostAddress(QStringLiteral("198.51.100.7")), 0), 0);
  EXPECT_GT(v6.admit(QHostAddress(QStringLiteral("::ffff:198.51.100.7")), 0), 0) << "the same IPv4 host";
  SubmitLimiter none(0);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(none.admit(a, 0), 0);
}

}  // namespace
}  // namespace rootix::server
