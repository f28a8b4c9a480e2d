#include "app/run_completion.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/events.h"
#include "platform/text.h"
#include "scores/score.h"
#include "support/shell_harness.h"

namespace rootix::app {
namespace {

using engine::RunResult;
using testing::ShellHarness;

const RunResult kGood{6, false, false, 1.5};
const RunResult kWithErrors{6, false, true, 1.5};
const RunResult kWarmUp{-5, true, false, 0.01};
const RunResult kQuick = [] {
  RunResult r = kGood;
  r.quickMode = true;
  return r;
}();

// The bytes "save <path> <n>" writes for a score of test 6 in `seconds`.
QByteArray scoreFileOf(double seconds) {
  return text::toSingleByte(scores::Score::Create(seconds, 6, scores::HardwareSummary{}).toString(false));
}

QByteArray contentOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The marker file, the queued exit and the exit status, by what the run was
// and where the marker goes ("%D" is a fresh folder).
struct MarkerCase {
  const char* name;
  RunResult run;
  const char* savePath;  // empty: no -save=
  bool markerExists;     // a file is there before the run ends
  bool exitAfterRun;
  QByteArray marker;  // the file's content afterwards (empty: none; "<score>": the run's score file)
  QStringList printed;
  int exitStatus;
  bool exitQueued;
};

void PrintTo(const MarkerCase& c, std::ostream* os) { *os << c.name; }

class Completion : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(Completion, MarkerExitAndStatus) {
  const MarkerCase& c = GetParam();
  QTemporaryDir dir;
  const QString path = QString::fromUtf8(c.savePath).replace(QStringLiteral("%D"), dir.path());
  if (c.markerExists) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("earlier");
  }
  ShellHarness h;
  RunCompletion completion(h.interp, path, c.exitAfterRun);
  EXPECT_FALSE(completion.runFinished(c.run)) << "the console gets its turn";
  QStringList expected;
  for (const QString& line : c.printed) expected << QString(line).replace(QStringLiteral("%D"), dir.path());
  EXPECT_EQ(h.sink.lines(), expected);
  if (!path.isEmpty()) {
    const QByteArray expectedFile = c.marker == "<score>" ? scoreFileOf(c.run.seconds) : c.marker;
    EXPECT_EQ(contentOf(path), c.markerExists ? QByteArray("earlier") : expectedFile);
  }
  EXPECT_EQ(completion.exitStatus(), c.exitStatus);
  EXPECT_EQ(h.console.pendingInput(), c.exitQueued ? QStringLiteral("exit") : QString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Completion,
    ::testing::Values(
        MarkerCase{"NoSwitches", kGood, "", false, false, "", {}, 0, false},
        MarkerCase{"ScoreFileAndExit", kGood, "%D/out.txt", false, true, "<score>", {}, 0, true},
        MarkerCase{"NoScoreFromARunWithErrors",
                   kWithErrors,
                   "%D/out.txt",
                   false,
                   false,
                   "",
                   {"ERROR: No score to save in '%D/out.txt': the run reported errors"},
                   1,
                   false},
        MarkerCase{"NoScoreFromQuickMode",
                   kQuick,
                   "%D/out.txt",
                   false,
                   true,
                   "",
                   {"ERROR: No score to save in '%D/out.txt': quick mode"},
                   2,
                   true},
        MarkerCase{"MarkerAlreadyThere",
                   kGood,
                   "%D/out.txt",
                   true,
                   true,
                   "",
                   {"ERROR: Output file '%D/out.txt' already exists"},
                   2,
                   true},
        MarkerCase{
            "MarkerFolderMissing", kGood, "%D/missing/out.txt", false, false, "", {"Error occured: 76."}, 2, false},
        MarkerCase{"ErrorsWinOverTheMarker",
                   kWithErrors,
                   "%D/out.txt",
                   true,
                   false,
                   "",
                   {"ERROR: Output file '%D/out.txt' already exists"},
                   1,
                   false},
        MarkerCase{"WarmUpRunLeavesAllAlone", kWarmUp, "%D/out.txt", false, true, "", {}, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Completion, ReturnsToTheGraphicalWindowOnce) {
  ShellHarness h;
  int guiOpened = 0;
  h.interp.commands().add(QStringLiteral("gui"), [&guiOpened](platform::CommandCall&) { ++guiOpened; });
  RunCompletion completion(h.interp, QString(), false);
  completion.setRevertToGui(true);
  // Also after the warm-up run: the window asked for it.
  EXPECT_TRUE(completion.runFinished(kWarmUp));
  EXPECT_FALSE(completion.revertToGui());
  platform::waitUntil([&] { return guiOpened > 0; }, 10, 10000);
  EXPECT_EQ(guiOpened, 1);
  EXPECT_FALSE(h.interp.stopped()) << "no console line is read after gui";
  EXPECT_FALSE(completion.runFinished(kGood));
  platform::pumpEvents();
  EXPECT_EQ(guiOpened, 1);
}

// A stress test's verdict sets the status as it is (0, 4, 5) and queues "exit"
// only for -exit=; the quiet warm-up run before it does not undo it.
TEST(Completion, StressVerdictStatus) {
  for (const int status : {0, 4, 5}) {
    for (const bool exitAfterRun : {false, true}) {
      ShellHarness h;
      RunCompletion completion(h.interp, QString(), exitAfterRun);
      completion.runFinished(kWarmUp);
      completion.stressFinished(status);
      EXPECT_EQ(completion.exitStatus(), status);
      EXPECT_EQ(h.console.pendingInput(), exitAfterRun ? QStringLiteral("exit") : QString());
    }
  }
}

TEST(Completion, RepeatedSeriesEndsWithItsSpreadAndBestScore) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("out.rxs"));
  ShellHarness h;
  QStringList started;
  // Like a started run, it leaves the console's chain.
  h.interp.commands().add(QStringLiteral("st"), [&started](platform::CommandCall& c) {
    started << c.line();
    c.setNoReturn();
  });
  RunCompletion completion(h.interp, path, true);
  completion.repeat().start(6, 3);
  for (double seconds : {1.5, 1.2}) {
    RunResult run = kGood;
    run.seconds = seconds;
    EXPECT_TRUE(completion.runFinished(run)) << "the next run starts instead of the console";
    platform::waitUntil([&] { return !started.isEmpty(); }, 10, 10000);
    EXPECT_EQ(started, QStringList{QStringLiteral("st 6")});
    started.clear();
    EXPECT_FALSE(QFile::exists(path)) << "the score file waits for the series";
    EXPECT_TRUE(h.console.pendingInput().isEmpty()) << "so does the exit";
  }
  RunResult last = kGood;
  last.seconds = 1.8;
  EXPECT_FALSE(completion.runFinished(last));
  EXPECT_EQ(h.sink.lines(),
            QStringList{QStringLiteral("32M: 3 runs, best 1.200 s, median 1.500 s, worst 1.800 s, spread 50.0 %")});
  EXPECT_EQ(contentOf(path), scoreFileOf(1.2));
  EXPECT_EQ(h.console.pendingInput(), QStringLiteral("exit"));
  EXPECT_EQ(completion.exitStatus(), 0);
}

}  // namespace
}  // namespace rootix::app
