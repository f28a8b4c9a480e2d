#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

#include "platform/runtime_error.h"
#include "scores/hardware_summary.h"
#include "support/error_of.h"

namespace rootix::scores::testdata {

using rootix::testing::errorOf;

// A machine whose fields all differ, so a field in the wrong line shows.
inline HardwareSummary sampleHardware() {
  HardwareSummary h;
  h.score_extra_memType = QStringLiteral("DDR4");
  h.score_extra_memSize = QStringLiteral("16384 MB");
  h.score_extra_memClock = QStringLiteral("1600 MHz");
  h.score_extra_memTCas = QStringLiteral("16");
  h.score_extra_memTRCD = QStringLiteral("18");
  h.score_extra_memTRP = QStringLiteral("19");
  h.score_extra_memTRAS = QStringLiteral("36");
  h.score_extra_mbModel = QStringLiteral("PRIME X570-P");
  h.score_extra_mbVendor = QStringLiteral("ASUSTeK COMPUTER INC.");
  h.score_extra_cpu_string = QStringLiteral("Intel Core i7");
  h.score_extra_cpu_core = QStringLiteral("Comet Lake");
  h.score_extra_cpu_rev = QStringLiteral("R0");
  h.score_extra_cpu_clock = QStringLiteral("3000 MHz");
  h.score_extra_cpu_fsb = QStringLiteral("100 MHz");
  h.score_extra_cpu_cache = QStringLiteral("12288 KB");
  h.score_extra_cpu_vcore = QStringLiteral("1.2 V");
  h.score_extra_cpu_count = QStringLiteral("1");
  return h;
}

// The plain text form of Score::Create(12.345, 6, sampleHardware()).
inline QStringList sample207Lines() {
  return {"Rootix",
          "207",
          "12.345",
          "6",
          "DDR4",
          "16384 MB",
          "1600 MHz",
          "16",
          "18",
          "19",
          "36",
          "PRIME X570-P",
          "ASUSTeK COMPUTER INC.",
          "Intel Core i7",
          "Comet Lake",
          "1",
          "R0",
          "3000 MHz",
          "100 MHz",
          "12288 KB",
          "1.2 V",
          "BADAD7F5",
          "EOF"};
}

// An older-layout text: no socket count, stepping on line 15, clock on 16.
inline QStringList sample202Lines() {
  return {"Rootix", "202",  "300.5",         "11",    "DDR3", "8192 MB",  "800 MHz", "9",       "9", "9",        "24",
          "M5A97",  "ASUS", "AMD Phenom II", "Deneb", "C3",   "2400 MHz", "200 MHz", "6144 KB", "",  "90375D38", "EOF"};
}

// Score files as every version has written them: each byte shifted up by 7
// within 1..255. Spelled out here, so a change of the shift shows as a failure.
inline QByteArray scrambled(const QString& plain) {
  QByteArray out = plain.toLatin1();
  for (char& ch : out) {
    int code = static_cast<unsigned char>(ch) + 7;
    if (code > 255) code -= 255;
    ch = static_cast<char>(code);
  }
  return out;
}

inline QByteArray scoreFile(const QStringList& lines) { return scrambled(lines.join(QStringLiteral("\r\n"))); }

}  // namespace rootix::scores::testdata
