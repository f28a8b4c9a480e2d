#pragma once

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include "support/rootix_process.h"

namespace rootix::e2e {

// A whole 32M run takes seconds; a loaded machine or a sanitizer build many more.
inline constexpr int kRunTimeoutMs = 300000;

inline bool anyLineMatches(const QStringList& lines, const QString& pattern) {
  const QRegularExpression re(pattern);
  for (const QString& line : lines) {
    if (re.match(line).hasMatch()) return true;
  }
  return false;
}

// The lines a completed "-run=32M" shows, whichever face printed them.
inline void expectCompleted32MRun(const testing::RootixRun& run) {
  const QStringList lines = run.lines();
  EXPECT_TRUE(lines.contains(QStringLiteral("Calculating sqrts of first 33554431 numbers."))) << run.out.toStdString();
  EXPECT_TRUE(anyLineMatches(lines, QStringLiteral("^Thread 1 calculating from 0 to [0-9]+ in THREAD#[0-9A-F]+\\.$")));
  EXPECT_TRUE(anyLineMatches(lines, QStringLiteral("^Thread 1 is [0-9]+% complete @ [0-9.]+ seconds$")));
  EXPECT_TRUE(anyLineMatches(lines, QStringLiteral("^Process completed in [0-9.]+ seconds\\.$")));
  EXPECT_TRUE(lines.contains(QStringLiteral("Test completed successfully.")));
}

}  // namespace rootix::e2e
