#include "platform/memory_info.h"

#include <QFile>
#include <QList>
#include <algorithm>

namespace rootix::platform {
namespace {

std::optional<QByteArray> readSmall(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return file.read(1 << 20);
}

// A whole number on its own (a line of a cgroup file); nullopt for "max" or
// anything that is not a number.
std::optional<int64_t> numberIn(const std::optional<QByteArray>& text) {
  if (!text) return std::nullopt;
  bool ok = false;
  const qlonglong value = text->trimmed().toLongLong(&ok);
  if (!ok || value < 0) return std::nullopt;
  return value;
}

std::optional<int64_t> smaller(std::optional<int64_t> a, std::optional<int64_t> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

}  // namespace

MemorySource::MemorySource(QString root) : root_(std::move(root)) {
  if (!root_.endsWith(u'/')) root_ += u'/';
}

std::optional<int64_t> MemorySource::memAvailable() const {
  const std::optional<QByteArray> text = readSmall(path(QStringLiteral("proc/meminfo")));
  if (!text) return std::nullopt;
  for (const QByteArray& line : text->split('\n')) {
    if (!line.startsWith("MemAvailable:")) continue;
    const QList<QByteArray> words = line.simplified().split(' ');  // "MemAvailable: N kB"
    if (words.size() < 2) return std::nullopt;
    bool ok = false;
    const qlonglong kib = words[1].toLongLong(&ok);
    if (!ok || kib < 0) return std::nullopt;
    return int64_t{kib} * 1024;
  }
  return std::nullopt;
}

std::optional<int64_t> MemorySource::remainingAlong(const QString& mount, const QString& cgroup, const char* limitFile,
                                                    const char* usageFile) const {
  // A limit anywhere up the path binds; the tightest one counts.
  std::optional<int64_t> best;
  QString dir = cgroup;
  for (;;) {
    while (dir.endsWith(u'/')) dir.chop(1);
    const QString at = path(mount) + dir + u'/';
    const std::optional<int64_t> limit = numberIn(readSmall(at + QLatin1StringView(limitFile)));
    const std::optional<int64_t> usage = numberIn(readSmall(at + QLatin1StringView(usageFile)));
    if (limit && usage) best = smaller(best, std::max<int64_t>(0, *limit - *usage));
    if (dir.isEmpty()) return best;
    dir.truncate(std::max<qsizetype>(0, dir.lastIndexOf(u'/')));
  }
}

std::optional<int64_t> MemorySource::cgroupRemaining() const {
  const std::optional<QByteArray> text = readSmall(path(QStringLiteral("proc/self/cgroup")));
  if (!text) return std::nullopt;
  std::optional<int64_t> best;
  for (const QByteArray& line : text->split('\n')) {
    // "hierarchy:controllers:path"; the path itself may hold ':'.
    const qsizetype first = line.indexOf(':');
    const qsizetype second = first < 0 ? -1 : line.indexOf(':', first + 1);
    if (second < 0) continue;
    const QByteArray controllers = line.mid(first + 1, second - first - 1);
    const QString cgroup = QFile::decodeName(line.mid(second + 1));
    if (controllers.isEmpty() && line.left(first) == "0") {
      best = smaller(best, remainingAlong(QStringLiteral("sys/fs/cgroup"), cgroup, "memory.max", "memory.current"));
    } else if (controllers.split(',').contains("memory")) {
      best = smaller(best, remainingAlong(QStringLiteral("sys/fs/cgroup/memory"), cgroup, "memory.limit_in_bytes",
                                          "memory.usage_in_bytes"));
    }
  }
  return best;
}

int64_t MemorySource::availableBytes() const { return smaller(memAvailable(), cgroupRemaining()).value_or(-1); }

int64_t availableMemoryBytes() { return MemorySource().availableBytes(); }

}  // namespace rootix::platform
