#include <gtest/gtest.h>

#include <QFile>

#include "e2e.h"

namespace rootix::e2e {
namespace {

using testing::RootixSandbox;

// What the console printed after a typed command, up to the next one typed.
QStringList answerTo(const QStringList& lines, const QString& typed, const QStringList& allTyped) {
  const qsizetype at = lines.indexOf(typed);
  if (at < 0) return {QStringLiteral("<not echoed: ") + typed + u'>'};
  QStringList out;
  for (qsizetype i = at + 1; i < lines.size() && !allTyped.contains(lines[i]); ++i) out << lines[i];
  return out;
}

// One typed session through every subsystem: the engine runs a test, the
// scores show, save and load it, the hardware table answers a key the scan
// filled. A command the program forgot to register fails here.
TEST(TypedSession, RunScoreFileAndHardware) {
  RootixSandbox box;
  const QString file = box.path(QStringLiteral("one.sco"));
  const QStringList typed{QStringLiteral("st 1"),
                          QStringLiteral("showscore 1"),
                          QStringLiteral("save ") + file + QStringLiteral(" 1"),
                          QStringLiteral("load ") + file,
                          QStringLiteral("showscore 2"),
                          QStringLiteral("hwinfo Processors Information.Specification"),
                          QStringLiteral("exit")};
  const auto run = box.run({}, (typed.join(u'\n') + u'\n').toUtf8(), kRunTimeoutMs);
  ASSERT_TRUE(run.finished) << run.out.toStdString();
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QStringList lines = run.lines();
  EXPECT_FALSE(lines.contains(QStringLiteral("Unregistered command"))) << run.out.toStdString();

  const QStringList test = answerTo(lines, typed[0], typed);
  EXPECT_TRUE(test.contains(QStringLiteral("Calculating sqrts of first 1048575 numbers."))) << run.out.toStdString();
  EXPECT_TRUE(test.contains(QStringLiteral("Test completed successfully.")));

  // The score of test 1 in its text form, with the processor the scan found.
  const QStringList shown = answerTo(lines, typed[1], typed);
  ASSERT_GE(shown.size(), 4) << run.out.toStdString();
  EXPECT_EQ(shown.first(), QStringLiteral("Rootix"));
  EXPECT_EQ(shown.last(), QStringLiteral("EOF"));
  const QStringList cpu = answerTo(lines, typed[5], typed);
  ASSERT_EQ(cpu.size(), 2) << run.out.toStdString();
  EXPECT_EQ(cpu[0], QStringLiteral("Processors Information.Specification"));
  EXPECT_FALSE(cpu[1].isEmpty());
  EXPECT_TRUE(shown.contains(cpu[1])) << run.out.toStdString();

  // Saved and loaded back: status 0 both ways, the file exists, the loaded
  // score reads as the one saved.
  EXPECT_EQ(answerTo(lines, typed[2], typed), QStringList{QStringLiteral("0")});
  EXPECT_TRUE(QFile::exists(file));
  EXPECT_EQ(answerTo(lines, typed[3], typed), QStringList{QStringLiteral("0")});
  EXPECT_EQ(answerTo(lines, typed[4], typed), shown);

  EXPECT_EQ(answerTo(lines, typed[6], typed), QStringList{QStringLiteral("Please stand by...")});
}

}  // namespace
}  // namespace rootix::e2e
