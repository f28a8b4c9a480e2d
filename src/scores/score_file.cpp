// The score's text form and score files.
#include <QFileInfo>
#include <QStringList>
#include <span>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/runtime_error.h"
#include "platform/text.h"
#include "scores/score.h"

namespace rootix::scores {
namespace {

using H = HardwareSummary;

const QString kMarker = QStringLiteral("Rootix");
const QString kLineEnd = QStringLiteral("\r\n");

// Line 4 onwards of each layout; the checksum line follows the last field.
// Note the socket count between the core name and the stepping in 207.
constexpr QString H::*k207Fields[] = {
    &H::score_extra_memType,   &H::score_extra_memSize,    &H::score_extra_memClock, &H::score_extra_memTCas,
    &H::score_extra_memTRCD,   &H::score_extra_memTRP,     &H::score_extra_memTRAS,  &H::score_extra_mbModel,
    &H::score_extra_mbVendor,  &H::score_extra_cpu_string, &H::score_extra_cpu_core, &H::score_extra_cpu_count,
    &H::score_extra_cpu_rev,   &H::score_extra_cpu_clock,  &H::score_extra_cpu_fsb,  &H::score_extra_cpu_cache,
    &H::score_extra_cpu_vcore,
};
// The older layout has no socket count.
constexpr QString H::*k202Fields[] = {
    &H::score_extra_memType,   &H::score_extra_memSize,    &H::score_extra_memClock,  &H::score_extra_memTCas,
    &H::score_extra_memTRCD,   &H::score_extra_memTRP,     &H::score_extra_memTRAS,   &H::score_extra_mbModel,
    &H::score_extra_mbVendor,  &H::score_extra_cpu_string, &H::score_extra_cpu_core,  &H::score_extra_cpu_rev,
    &H::score_extra_cpu_clock, &H::score_extra_cpu_fsb,    &H::score_extra_cpu_cache, &H::score_extra_cpu_vcore,
};
constexpr qsizetype kFirstFieldLine = 4;

struct Layout {
  QLatin1StringView version;
  std::span<QString H::*const> fields;

  qsizetype lineOf(QString H::*field) const {
    for (qsizetype i = 0; i < static_cast<qsizetype>(fields.size()); ++i) {
      if (fields[static_cast<size_t>(i)] == field) return kFirstFieldLine + i;
    }
    return -1;
  }
  qsizetype checksumLine() const { return kFirstFieldLine + static_cast<qsizetype>(fields.size()); }
};

constexpr Layout k207{QLatin1StringView("207"), k207Fields};
constexpr Layout k202{QLatin1StringView("202"), k202Fields};

const Layout* layoutFor(const QStringList& lines) {
  if (lines.size() < 2 || lines[0] != kMarker) return nullptr;
  for (const Layout* layout : {&k207, &k202}) {
    if (lines[1] == layout->version) return layout;
  }
  return nullptr;
}

// The clock as the checksum sees it: its leading number, written plainly.
QString clockNumber(const QString& clockText) { return num::formatGeneral(num::readNumber(clockText)); }

// A failure of loadScore's own, which needs no words.
Failure failed(int code) { return Failure{code, {}}; }

}  // namespace

QString Score::Scramble(const QString& text, int shift) {
  QString out(text.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t u = text[i].unicode();
    int code = (u > 255 ? u'?' : u) + shift;
    if (code > 255) code -= 255;
    if (code < 1) code += 255;
    out[i] = QChar(static_cast<char16_t>(code));
  }
  return out;
}

QString Score::toString(bool noCode) const {
  // Always the 207 layout, so always "207" on line 1: a score read from a 202
  // text keeps "202" in score_version, but writing "202" over a 207 layout
  // would make a file that never loads again.
  const QString timeText = num::formatGeneral(num::roundDecimals(score_score, 3));
  // The checksum covers the time as written, so the reader gets the same one.
  const double time = num::readNumber(timeText);
  QStringList lines{kMarker, QString(k207.version), timeText, QString::number(score_test)};
  for (const auto field : k207.fields) lines << hardware.*field;
  lines << csum(score_test, time, clockNumber(hardware.score_extra_cpu_clock), hardware.score_extra_cpu_string)
        << QStringLiteral("EOF");
  const QString text = lines.join(kLineEnd);
  return noCode ? text : Scramble(text, kShift);
}

Result<void> Score::saveScore(const QString& path, platform::Dialogs& dialogs) const {
  return catchingFailures<void>([&]() -> Result<void> {
    const QByteArray bytes = text::toSingleByte(toString(false));
    if (platform::files::exists(path) &&
        !dialogs.askYesNo(QStringLiteral("Do you wish to replace ") + path + u'?', QStringLiteral("Save Score"))) {
      return failed(kFileAlreadyExists);
    }
    // Replaced in one step: a failed write never leaves half a score behind.
    platform::files::writeAtomic(path, bytes);
    return {};
  });
}

Result<void> Score::loadScore(const QString& path) {
  return catchingFailures<void>([&]() -> Result<void> {
    if (path.isEmpty()) throw RuntimeError(kBadFileName, "no file name was given");
    // Refused by its size before a byte of it is read.
    const QFileInfo info(path);
    if (info.isFile() && info.size() > kMaxFileBytes) return failed(kNotAScore);
    return loadBytes(platform::files::readAll(path, kMaxFileBytes));
  });
}

Result<void> Score::loadBytes(const QByteArray& fileBytes) {
  // Score text never holds code 0: scrambling maps 1..255 onto itself.
  if (fileBytes.size() > kMaxFileBytes || fileBytes.contains('\0')) return failed(kNotAScore);
  return catchingFailures<void>([&]() -> Result<void> {
    const QStringList lines = Scramble(text::fromSingleByte(fileBytes), -kShift).split(kLineEnd);
    const Layout* layout = layoutFor(lines);
    if (!layout) return failed(lines.size() >= 2 && lines[1] == u"beta" ? kUnsupportedVersion : kNotAScore);

    auto line = [&lines](qsizetype i) -> const QString& {
      if (i < 0 || i >= lines.size()) throw RuntimeError(kSubscriptOutOfRange, "the file ends too early");
      return lines[i];
    };
    const double time = num::readNumber(line(2));
    const int16_t test = num::toInt16(num::readNumber(line(3)));
    const QString& name = line(layout->lineOf(&H::score_extra_cpu_string));
    const QString& clock = line(layout->lineOf(&H::score_extra_cpu_clock));
    if (csum(test, time, clockNumber(clock), name) != line(layout->checksumLine())) return failed(kChecksumMismatch);

    // Filled on a copy: a field a layout lacks keeps its value.
    Score filled = *this;
    filled.score_version = lines[1];
    filled.score_score = time;
    filled.score_test = test;
    for (size_t i = 0; i < layout->fields.size(); ++i) {
      filled.hardware.*(layout->fields[i]) = lines[kFirstFieldLine + static_cast<qsizetype>(i)];
    }
    filled.score_visible = true;
    *this = std::move(filled);
    return {};
  });
}

}  // namespace rootix::scores
