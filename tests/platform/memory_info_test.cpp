#include "platform/memory_info.h"

#include <gtest/gtest.h>

#include "support/rootix_process.h"

namespace rootix::platform {
namespace {

QString recordedTree(const char* name) {
  return rootix::testing::sourceDir() + QStringLiteral("/tests/platform/data/cgroup/") + QLatin1StringView(name);
}

constexpr int64_t kMemAvailable = int64_t{8000000} * 1024;  // in every recorded meminfo

struct MemoryCase {
  const char* tree;
  int64_t expected;
};

TEST(MemorySource, SmallerOfMemAvailableAndTheCgroupAllowance) {
  const MemoryCase cases[] = {
      {"v2-slice-limit", 1073741824 - 268435456},  // the slice's limit binds the job inside it
      {"v2-unlimited", kMemAvailable},
      {"v2-over-limit", 0},
      {"v1-container", 536870912 - 134217728},  // not the machine-wide "unlimited" at the root
      {"no-meminfo", 2147483648 - 1073741824},
      {"meminfo-only", kMemAvailable},
      {"no-such-tree", -1},
  };
  for (const MemoryCase& c : cases) {
    EXPECT_EQ(MemorySource(recordedTree(c.tree)).availableBytes(), c.expected) << c.tree;
  }
}

TEST(MemorySource, RunningSystemGivesAnAnswer) { EXPECT_GT(availableMemoryBytes(), 0); }

}  // namespace
}  // namespace rootix::platform
