// The console's lines for a set of runs, kept as a golden file: whatever
// reports a run's progress must print these lines, byte for byte.
//
// ROOTIX_UPDATE_GOLDEN=1 rewrites the file from the current program; review
// the diff before committing it.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <deque>
#include <map>

#include "engine_shell.h"
#include "support/rootix_process.h"

namespace rootix::engine {
namespace {

using fakes::EngineShell;

struct Session {
  const char* name;
  int threads;
  double clockStep;  // 0 where several workers share the clock
  KernelFunction kernel;
  QStringList typed;
};

// Worker lines of a run in the order of their thread numbers, each worker's
// own lines kept in order. Workers run at once, so only this order is
// stable; the run's own lines before and after them stay where they are.
QStringList canonical(const QStringList& lines) {
  static const QRegularExpression threadLine(QStringLiteral("^Thread (\\d+) |in thread (\\d+)$"));
  QStringList out;
  std::multimap<int, QString> block;
  // Workers whose "complete" line still waits for its "Time taken" line.
  std::deque<int> awaitingTime;
  auto flush = [&] {
    for (const auto& [thread, line] : block) out << line;
    block.clear();
  };
  for (const QString& line : lines) {
    const QRegularExpressionMatch m = threadLine.match(line);
    if (m.hasMatch()) {
      const int thread = (m.captured(1).isEmpty() ? m.captured(2) : m.captured(1)).toInt();
      block.emplace(thread, line);
      if (line.contains(QStringLiteral(" complete with "))) awaitingTime.push_back(thread);
    } else if (line.startsWith(QStringLiteral("Time taken: ")) && !awaitingTime.empty()) {
      // A worker's own reading; where several wait, the shared clock stands
      // still, so each reads the same.
      block.emplace(awaitingTime.front(), line);
      awaitingTime.pop_front();
    } else {
      flush();
      out << line;
    }
  }
  flush();
  return out;
}

// Long transcripts are kept as their first and last lines, their count and
// a digest of the whole text.
QString summary(const QStringList& lines) {
  constexpr qsizetype kWhole = 60;
  constexpr qsizetype kEnds = 12;
  if (lines.size() <= kWhole) return lines.join(u'\n');
  const QByteArray digest = QCryptographicHash::hash(lines.join(u'\n').toUtf8(), QCryptographicHash::Sha256).toHex();
  return (lines.mid(0, kEnds) +
          QStringList{
              QStringLiteral("... %1 lines, sha256 %2 ...").arg(lines.size()).arg(QString::fromLatin1(digest))} +
          lines.mid(lines.size() - kEnds))
      .join(u'\n');
}

QString transcriptOf(const Session& s) {
  EngineShell e(s.kernel);
  e.shell.threads.set(static_cast<int16_t>(s.threads));
  e.clock.step = s.clockStep;
  return summary(canonical(e.session(s.typed)));
}

QString goldenPath() { return rootix::testing::sourceDir() + QStringLiteral("/tests/engine/data/console_lines.txt"); }

TEST(ConsoleLines, MatchTheRecordedTranscripts) {
  const QStringList st3{QStringLiteral("st 3")};
  const std::vector<Session> sessions{
      {"one thread, test 3", 1, 0.001, nullptr, st3},
      {"two threads, test 3", 2, 0, nullptr, st3},
      {"three threads, test 3", 3, 0, nullptr, st3},
      {"four threads, test 3", 4, 0, nullptr, st3},
      {"cache mode, test 2", 1, 0.001, nullptr, {QStringLiteral("tc"), QStringLiteral("st 2")}},
      {"quick mode, test 6", 1, 0.001, nullptr, {QStringLiteral("qm"), QStringLiteral("st 6")}},
      {"non-convergent numbers, two threads", 2, 0, fakes::sometimesNonConvergentKernel, {QStringLiteral("st 1")}},
  };
  QString actual;
  for (const Session& s : sessions) {
    actual += QStringLiteral("== ") + QString::fromLatin1(s.name) + u'\n' + transcriptOf(s) + u'\n';
  }
  QFile file(goldenPath());
  if (qEnvironmentVariableIsSet("ROOTIX_UPDATE_GOLDEN")) {
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(actual.toUtf8());
    GTEST_SKIP() << "rewrote " << goldenPath().toStdString();
  }
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << goldenPath().toStdString();
  const QString expected = QString::fromUtf8(file.readAll());
  // Section by section, so a difference names its session.
  const QStringList want = expected.split(QStringLiteral("== "));
  const QStringList got = actual.split(QStringLiteral("== "));
  ASSERT_EQ(got.size(), want.size());
  for (qsizetype i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]);
}

}  // namespace
}  // namespace rootix::engine
