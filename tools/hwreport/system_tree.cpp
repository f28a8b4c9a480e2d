#include "system_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace rootix::hwreport {

SystemTree::SystemTree(std::string root) : root_(std::move(root)) {
  while (!root_.empty() && root_.back() == '/') root_.pop_back();
}

std::string SystemTree::pathOf(std::string_view path) const {
  std::string full = root_;
  if (path.empty() || path.front() != '/') full += '/';
  full += path;
  return full;
}

std::optional<std::string> SystemTree::read(std::string_view path, std::size_t maxBytes) const {
  // O_NONBLOCK: a FIFO or device planted in a recorded tree must not hang us;
  // it is refused below anyway.
  const int fd = ::open(pathOf(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  // Files under /proc and /sys report a size of 0 or 4096 whatever their
  // content, so read until the end instead of trusting st_size.
  std::string content;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    if (content.size() + static_cast<std::size_t>(n) > maxBytes) {
      ::close(fd);
      return std::nullopt;
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return content;
}

std::string SystemTree::readValue(std::string_view path) const {
  const auto content = read(path, 64 * 1024);
  if (!content) return {};
  std::string_view line(*content);
  line = line.substr(0, line.find('\n'));
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = line.find_last_not_of(" \t\r");
  return std::string(line.substr(first, last - first + 1));
}

std::vector<std::string> SystemTree::list(std::string_view path) const {
  std::vector<std::string> names;
  DIR* dir = ::opendir(pathOf(path).c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    names.emplace_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace rootix::hwreport
