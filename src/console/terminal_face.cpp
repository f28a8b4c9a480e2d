#include "console/terminal_face.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/events.h"
#include "platform/stdout_writer.h"

namespace rootix::console {

TerminalFace::TerminalFace(int fd) : fd_(fd) {
  if (::pipe(stopPipe_) != 0) stopPipe_[0] = stopPipe_[1] = -1;
  reader_ = std::thread([this] { readLoop(); });
}

TerminalFace::~TerminalFace() {
  if (stopPipe_[1] >= 0) {
    const char byte = 0;
    [[maybe_unused]] ssize_t n = ::write(stopPipe_[1], &byte, 1);
  }
  if (reader_.joinable()) reader_.join();
  for (int fd : stopPipe_) {
    if (fd >= 0) ::close(fd);
  }
}

bool TerminalFace::lineReady() {
  std::lock_guard lock(mutex_);
  return !lines_.empty() || eof_;
}

QString TerminalFace::takeLine() {
  std::lock_guard lock(mutex_);
  if (lines_.empty()) return QStringLiteral("exit");
  QString line = std::move(lines_.front());
  lines_.pop_front();
  return line;
}

void TerminalFace::readLoop() {
  QByteArray pending;
  char buf[65536];
  auto deliver = [this](QByteArray line) {
    if (line.endsWith('\r')) line.chop(1);
    {
      std::lock_guard lock(mutex_);
      lines_.push_back(QString::fromUtf8(line));
    }
    platform::wakeWaiters();
  };
  for (;;) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    const int ready = ::poll(fds, stopPipe_[0] >= 0 ? 2 : 1, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (stopPipe_[0] >= 0 && fds[1].revents) return;
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (buf[i] == '\n') {
        deliver(pending);
        pending.clear();
      } else if (pending.size() < kMaxLine) {
        pending.append(buf[i]);
      }  // the rest of an over-long line is dropped
    }
  }
  if (!pending.isEmpty()) deliver(pending);
  {
    std::lock_guard lock(mutex_);
    eof_ = true;
  }
  platform::wakeWaiters();
}

void TerminalDialogs::alert(const QString& text, const QString& caption) {
  sink_.write((caption + QStringLiteral(": ") + text + u'\n').toUtf8());
}

bool TerminalDialogs::askYesNo(const QString& text, const QString& caption) {
  const QString ending = endQuestionLine_ ? QStringLiteral(" [y/N]\n") : QStringLiteral(" [y/N] ");
  sink_.write((caption + QStringLiteral(": ") + text + ending).toUtf8());
  platform::waitUntil([this] { return face_.lineReady(); });
  const QString answer = face_.takeLine().trimmed().toLower();
  return answer == QStringLiteral("y") || answer == QStringLiteral("yes");
}

void StdoutSink::write(const QByteArray& bytes) { platform::writeStdOut(bytes); }

}  // namespace rootix::console
