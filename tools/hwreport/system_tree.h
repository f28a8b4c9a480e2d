#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rootix::hwreport {

// Read access to the kernel's files (/proc, /sys) below a root folder: "/"
// on the real machine, a recorded tree in tests. Reads never block and are
// capped, so a strange tree cannot hang or flood the tool.
class SystemTree {
 public:
  explicit SystemTree(std::string root);

  bool isLiveSystem() const { return root_.empty(); }
  const std::string& root() const { return root_; }

  // The real path of an absolute path such as "/proc/cpuinfo".
  std::string pathOf(std::string_view path) const;

  // Whole content of a regular file; nullopt when it is missing, unreadable,
  // not a regular file or larger than maxBytes.
  std::optional<std::string> read(std::string_view path, std::size_t maxBytes = 1 << 20) const;

  // First line of a small file with surrounding white space removed; empty
  // when the file is missing or unreadable.
  std::string readValue(std::string_view path) const;

  // Names in a folder (without "." and ".."), sorted; empty when missing.
  std::vector<std::string> list(std::string_view path) const;

 private:
  std::string root_;  // without trailing "/"; empty for the live system
};

}  // namespace rootix::hwreport
