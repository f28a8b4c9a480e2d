#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace rootix::hwreport {
namespace {

std::string failure(std::string_view what, int error) { return std::string(what) + ": " + std::strerror(error); }

}  // namespace

std::string writeFileAtomically(const std::string& path, std::string_view bytes) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return "no file name in \"" + path + "\"";
  // A leading dot and a suffix that never ends in ".txt": a reader polling
  // for the report cannot mistake the unfinished file for it.
  std::string pattern = (slash == std::string::npos ? std::string{} : folder) + "." + name + ".XXXXXX";
  std::vector<char> temp(pattern.begin(), pattern.end());
  temp.push_back('\0');
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return failure("cannot create a file in " + folder, errno);
  const std::string tempPath(temp.data());

  // mkostemp makes the file private; give it the usual mode for new files.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);

  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      ::unlink(tempPath.c_str());
      return failure("cannot write " + tempPath, error);
    }
    written += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(tempPath.c_str());
    return failure("cannot write " + tempPath, error);
  }
  if (::rename(tempPath.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(tempPath.c_str());
    return failure("cannot rename " + tempPath + " to " + path, error);
  }
  return {};
}

}  // namespace rootix::hwreport
