#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace rootix::platform {

// Reads how much memory this process may still take, from a file system
// tree: "/" for the running system, a recorded tree in tests. The answer is
// the smaller of MemAvailable in proc/meminfo and what the process's memory
// cgroup still allows (limit less usage, for the cgroup and each parent up
// its path; cgroup v2 under sys/fs/cgroup, v1 under sys/fs/cgroup/memory).
// A container or CI job with a memory limit is killed when it passes it,
// whatever the machine has free.
class MemorySource {
 public:
  explicit MemorySource(QString root = QStringLiteral("/"));

  int64_t availableBytes() const;  // -1 when neither is known
  std::optional<int64_t> memAvailable() const;
  std::optional<int64_t> cgroupRemaining() const;

 private:
  QString path(const QString& relative) const { return root_ + relative; }
  std::optional<int64_t> remainingAlong(const QString& mount, const QString& cgroup, const char* limitFile,
                                        const char* usageFile) const;

  QString root_;  // ends in "/"
};

// MemorySource("/").availableBytes().
int64_t availableMemoryBytes();

}  // namespace rootix::platform
