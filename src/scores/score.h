#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "platform/result.h"
#include "scores/hardware_summary.h"

namespace rootix::platform {
class Dialogs;
}

namespace rootix::scores {

// One benchmark result with the hardware it was measured on. Its text form
// (toString) is what score files hold and what the submission page carries.
class Score {
 public:
  // loadScore's own failure numbers; anything positive is a classic error
  // number. kLoaded is the number a load that worked shows.
  static constexpr int kLoaded = 0;
  static constexpr int kNotAScore = -1;
  static constexpr int kChecksumMismatch = -2;
  static constexpr int kUnsupportedVersion = -4;

  // A score file is a few hundred bytes; anything above this is not one.
  static constexpr qsizetype kMaxFileBytes = 64 * 1024;
  // The shift of the scrambled form, the same for every file ever written.
  static constexpr int kShift = 7;

  double score_score = 0;      // elapsed seconds
  int16_t score_test = 0;      // test number
  HardwareSummary hardware;    // the 17 hardware texts
  bool score_visible = false;  // listed in the score browser
  QString score_version;       // layout it was made or read as: "207" or "202"
  // The conditions of the run that made it, as ASCII JSON, for the
  // submission page. Never written to a score file: empty for a loaded score.
  QByteArray conditions;

  // A new visible "207" score with a copy of the hardware summary. Characters
  // a single-byte score file cannot hold, and line breaks that would split
  // its lines, become '?' here, so whatever is made can be saved and read back.
  static Score Create(double score, int16_t test, const HardwareSummary& hardware);

  // The 23-line text form with CR LF between lines; scrambled unless noCode.
  // Throws RuntimeError when the checksum cannot be formed (see csum).
  QString toString(bool noCode = false) const;

  // Writes the scrambled text form. An existing file is replaced only if the
  // user answers Yes to the replace question; No leaves it as it was and
  // fails with kFileAlreadyExists. Failures carry the classic error number.
  Result<void> saveScore(const QString& path, platform::Dialogs& dialogs) const;

  // Reads a score file into this score. A failure's number is kNotAScore,
  // kChecksumMismatch, kUnsupportedVersion or a classic error number (file
  // not found, too few lines, ...), its text why in words where a file error
  // gave one. On any failure the score is unchanged.
  Result<void> loadScore(const QString& path);
  // The same for the bytes of a file, without touching the disk.
  Result<void> loadBytes(const QByteArray& fileBytes);

  // The 8-character result checksum; "########" for an empty processor name.
  // Throws RuntimeError: kTypeMismatch when cpuclock is no number, kOverflow
  // when it is beyond 32 bits or the product is not finite,
  // kInvalidProcedureCall for a negative test number or clock.
  static QString csum(int16_t test, double score, const QString& cpuclock, const QString& cpuname);

  friend bool operator==(const Score&, const Score&) = default;

 private:
  // Shifts every character code by shift within 1..255 (a bijection there).
  static QString Scramble(const QString& text, int shift);
};

}  // namespace rootix::scores
