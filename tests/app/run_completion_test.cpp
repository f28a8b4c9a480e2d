#include "app/run_completion.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/events.h"
#include "support/shell_harness.h"

namespace rootix::app {
namespace {

using engine::RunResult;
using testing::ShellHarness;

const RunResult kGood{6, false, false, 1.5};
const RunResult kWithErrors{6, false, true, 1.5};
const RunResult kWarmUp{-5, true, false, 0.01};

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
  QByteArray marker;  // the file's content afterwards (empty: none)
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
    EXPECT_EQ(contentOf(path), c.markerExists ? QByteArray("earlier") : c.marker);
  }
  EXPECT_EQ(completion.exitStatus(), c.exitStatus);
  EXPECT_EQ(h.console.pendingInput(), c.exitQueued ? QStringLiteral("exit") : QString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Completion,
    ::testing::Values(
        MarkerCase{"NoSwitches", kGood, "", false, false, "", {}, 0, false},
        MarkerCase{"MarkerAndExit", kGood, "%D/out.txt", false, true, "Not done yet", {}, 0, true},
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

}  // namespace
}  // namespace rootix::app
