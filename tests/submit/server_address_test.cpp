#include <gtest/gtest.h>

#include "submit/server_address.h"

namespace rootix::submit {
namespace {

TEST(ServerAddress, SessionThenEnvironmentThenDefault) {
  const struct {
    const char* environment;
    const char* session;
    const char* base;
  } cases[] = {
      {"", "", "http://127.0.0.1:8080"},
      {"  ", "", "http://127.0.0.1:8080"},
      {" https://results.example/rootix/ ", "", "https://results.example/rootix"},
      {"http://env:1", "http://session:2//", "http://session:2"},
      {"", "http://session:2", "http://session:2"},
  };
  for (const auto& c : cases) {
    ServerAddress a{QString::fromLatin1(c.environment)};
    a.setSession(QString::fromLatin1(c.session));
    EXPECT_EQ(a.base(), QString::fromLatin1(c.base)) << c.environment << " | " << c.session;
  }
}

TEST(ServerAddress, UsableOnlyForHttpWithAHost) {
  const struct {
    const char* base;
    bool usable;
  } cases[] = {
      {"http://127.0.0.1:8080", true},
      {"https://results.example/rootix", true},
      {"HTTP://H", true},
      {"ftp://h", false},
      {"results.example", false},
      {"http://", false},
      {"http://h/?q=1", false},
      {"http://h/#top", false},
      {"", false},
      {"javascript:alert(1)", false},
      {"http://a b", false},
  };
  for (const auto& c : cases) {
    const Result<void> r = ServerAddress::usable(QString::fromLatin1(c.base));
    EXPECT_EQ(r.ok(), c.usable) << c.base;
    EXPECT_EQ(r.failure().text.isEmpty(), c.usable) << c.base;
  }
}

}  // namespace
}  // namespace rootix::submit
