#include "platform/stdout_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace rootix::platform {

void writeStdOut(const QByteArray& bytes) {
  const char* p = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, p, static_cast<size_t>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // no standard output, or nobody reading: not our failure
    p += n;
    left -= n;
  }
}

bool stdinIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }
bool stdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool displayAvailable() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace rootix::platform
