#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "hardware/report_capture.h"
#include "hardware_test_support.h"

namespace rootix::hardware {
namespace {

using testing::FakeAbortKey;
using testing::FakeLauncher;
using testing::FakeWaiter;
using testing::PrintLog;

const QString kFailed = QStringLiteral("CPUz output failed. Will reattempt. Hold shift to abort.");
const QString kCanceled = QStringLiteral("Hardware scan canceled");
const QString kParsing = QStringLiteral("Parsing CPUz output file, this may take several minutes.");
const QByteArray kReport = "Processors\r\n----------\r\n\r\nNumber of sockets\t\t1\r\n";

class CaptureTest : public testing::TempFolderTest {
 protected:
  ReportCapture capture(CaptureOptions options = {}) { return ReportCapture(log.fn(), launcher, waiter, key, options); }
  // The tool writes its report `afterMs` after it was started.
  void toolWritesAfter(int64_t afterMs, QByteArray bytes = kReport) {
    launcher.onStart = [this, afterMs, bytes] {
      waiter.at(waiter.now + afterMs, [this, bytes] { writeTemp(QStringLiteral("out.txt"), bytes); });
    };
  }
  QStringList shellLines() const {
    return {QStringLiteral("Gathering CPUz information"), QStringLiteral("Shelling CPUz -txt=") + T + "out.txt",
            QStringLiteral("Waiting for CPUz information"), QStringLiteral("Hold shift to abort"),
            QStringLiteral("Please stand by...")};
  }

  PrintLog log;
  FakeWaiter waiter;
  FakeAbortKey key{waiter};
  FakeLauncher launcher;
};

TEST_F(CaptureTest, StartsTheToolAndWaitsForItsReport) {
  toolWritesAfter(300);
  ReportCapture c = capture();
  EXPECT_EQ(c.ShellCPUz(), T + "out.txt");

  ASSERT_EQ(launcher.calls.size(), 1u);
  EXPECT_EQ(launcher.calls[0].program, T + "cpuz201.exe");
  EXPECT_EQ(launcher.calls[0].args, QStringList{QStringLiteral("-txt=") + T + "out"});
  EXPECT_EQ(log.lines, shellLines() << QStringLiteral("CPUz output complete"));
  // Shift is looked at once per 100 ms; the report settles for a second.
  EXPECT_EQ(key.samples, (std::vector<int64_t>{0, 100, 200}));
  EXPECT_EQ(waiter.idles, (std::vector<int>{100, 100, 100, 1000}));
  EXPECT_EQ(key.arms, 1);
  EXPECT_EQ(key.disarms, 1);
}

TEST_F(CaptureTest, RemovesAnEarlierReportBeforeStarting) {
  writeTemp(QStringLiteral("out.txt"), "stale");
  bool staleAtStart = true;
  launcher.onStart = [&] {
    staleAtStart = tempExists(QStringLiteral("out.txt"));
    waiter.at(200, [this] { writeTemp(QStringLiteral("out.txt"), kReport); });
  };
  ReportCapture c = capture();
  EXPECT_EQ(c.ShellCPUz(), T + "out.txt");
  EXPECT_FALSE(staleAtStart);
  QStringList expected = shellLines();
  expected.insert(1, QStringLiteral("Removing previous CPUid information"));
  expected << QStringLiteral("CPUz output complete");
  EXPECT_EQ(log.lines, expected);
}

TEST_F(CaptureTest, ShiftDuringTheFirstWaitCancels) {
  key.heldFrom = 250;
  ReportCapture c = capture();
  const HashTable table = c.GatherCPUzInfo();
  // No line of the reading step, an empty table.
  EXPECT_EQ(log.lines, shellLines() << kCanceled << kParsing);
  EXPECT_EQ(table.entryCount(), 0);
  EXPECT_EQ(key.samples.back(), 300);
  EXPECT_EQ(key.arms, key.disarms);
}

// With no one to press Shift (no window, no terminal) the wait for a tool
// that never writes its report ends by itself.
TEST_F(CaptureTest, UnattendedWaitEndsAfterTheLimit) {
  launcher.starts = false;
  ReportCapture c = capture({.abortable = false, .unattendedLimitMs = 60000});
  EXPECT_EQ(c.ShellCPUz(), QString());
  EXPECT_EQ(log.lines, shellLines() << kCanceled);
  EXPECT_EQ(waiter.now, 60000);
  EXPECT_TRUE(key.samples.empty());
}

TEST_F(CaptureTest, EmptyReportIsRetriedUntilItHasContent) {
  // Empty at first; the content arrives during the second round of retries.
  launcher.onStart = [this] {
    waiter.at(100, [this] { writeTemp(QStringLiteral("out.txt"), QByteArray()); });
    waiter.at(5500, [this] { writeTemp(QStringLiteral("out.txt"), kReport); });
  };
  ReportCapture c = capture();
  const HashTable table = c.GatherCPUzInfo();

  const QStringList retries{kFailed, QStringLiteral("Reattempting in 3"), QStringLiteral("Reattempting in 2"),
                            QStringLiteral("Reattempting in 1")};
  QStringList expected = shellLines() << QStringLiteral("CPUz output complete");
  expected << retries << retries << kParsing;
  ASSERT_GE(log.lines.size(), expected.size());
  EXPECT_EQ(log.lines.mid(0, expected.size()), expected);
  EXPECT_EQ(table.getValue(QStringLiteral("Processors.Number of sockets")), QStringLiteral("1"));
  // Shift is looked at once a second during the retries.
  EXPECT_EQ(std::vector<int64_t>(key.samples.begin() + 1, key.samples.end()),
            (std::vector<int64_t>{1100, 2100, 3100, 4100, 5100, 6100}));
}

TEST_F(CaptureTest, ShiftDuringRetriesEndsQuietly) {
  writeTemp(QStringLiteral("out.txt"), QByteArray());
  key.heldFrom = 1500;
  ReportCapture c = capture();
  EXPECT_EQ(c.ReadCPUzOutput(T + "out.txt"), QString());
  EXPECT_EQ(log.lines,
            (QStringList{kFailed, QStringLiteral("Reattempting in 3"), QStringLiteral("Reattempting in 2")}));
  EXPECT_EQ(key.arms, key.disarms);
}

TEST_F(CaptureTest, UnattendedRetriesEndAfterTheLimit) {
  ReportCapture c = capture({.abortable = false, .unattendedLimitMs = 5000});
  EXPECT_EQ(c.ReadCPUzOutput(T + "out.txt"), QString());  // never written
  EXPECT_EQ(log.lines, (QStringList{kFailed, QStringLiteral("Reattempting in 3"), QStringLiteral("Reattempting in 2"),
                                    QStringLiteral("Reattempting in 1"), kFailed, QStringLiteral("Reattempting in 3"),
                                    QStringLiteral("Reattempting in 2"), kCanceled}));
}

TEST_F(CaptureTest, ReadsTheReportAsSingleByteText) {
  writeTemp(QStringLiteral("out.txt"), "\xE9t\xE9\r\n\x90");
  ReportCapture c = capture();
  EXPECT_EQ(c.ReadCPUzOutput(T + "out.txt"), QString::fromUtf16(u"\u00E9t\u00E9\r\n\u0090"));
  EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(CaptureTest, EmptyPathReadsNothing) {
  ReportCapture c = capture();
  EXPECT_EQ(c.ReadCPUzOutput(QString()), QString());
  EXPECT_TRUE(log.lines.isEmpty());
  EXPECT_TRUE(waiter.idles.empty());
}

// A wait that is given up ends the tool, so it never outlives Rootix; a tool
// that delivered, or never started, is left alone.
TEST_F(CaptureTest, GivingUpTheWaitEndsTheTool) {
  const struct {
    const char* name;
    std::function<void()> arrange;
    CaptureOptions options;
    std::vector<int64_t> terminated;
  } cases[] = {
      {"report arrives", [this] { toolWritesAfter(300); }, {}, {}},
      {"shift during the first wait", [this] { key.heldFrom = 250; }, {}, {4242}},
      {"unattended first wait runs out", [] {}, {.abortable = false, .unattendedLimitMs = 2000}, {4242}},
      {"shift during the retries",
       [this] {
         toolWritesAfter(100, QByteArray());
         key.heldFrom = 2500;
       },
       {},
       {4242}},
      {"unattended retries run out",
       [this] { toolWritesAfter(100, QByteArray()); },
       {.abortable = false, .unattendedLimitMs = 5000},
       {4242}},
      {"tool never started", [this] { launcher.starts = false; }, {.abortable = false, .unattendedLimitMs = 2000}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(T + QStringLiteral("out.txt"));
    launcher = FakeLauncher();
    waiter = FakeWaiter();
    key.heldFrom = -1;
    c.arrange();
    capture(c.options).GatherCPUzInfo();
    EXPECT_EQ(launcher.terminated, c.terminated);
  }
}

// The whole way with a real program in the tool's place, on the real event
// loop: a script that writes its report a moment after it starts.
TEST_F(CaptureTest, StandInToolOnTheEventLoop) {
  writeTemp(QStringLiteral("cpuz201.exe"),
            "#!/bin/sh\n"
            "out=\"${1#-txt=}.txt\"\n"
            "sleep 0.2\n"
            "printf 'Processors\\r\\n----------\\r\\n\\r\\nNumber of sockets\\t\\t2\\r\\n' > \"$out.part\"\n"
            "mv \"$out.part\" \"$out\"\n",
            0700);
  platform::QtProcessLauncher realLauncher;
  EventLoopWaiter realWaiter;
  FakeAbortKey neverHeld{realWaiter};
  ReportCapture c(log.fn(), realLauncher, realWaiter, neverHeld, {.abortable = true, .unattendedLimitMs = 60000});
  const HashTable table = c.GatherCPUzInfo();
  EXPECT_EQ(table.getValue(QStringLiteral("Processors.Number of sockets")), QStringLiteral("2"));
  EXPECT_TRUE(log.lines.contains(QStringLiteral("CPUz output complete")));
  EXPECT_FALSE(log.lines.contains(kFailed));
}

}  // namespace
}  // namespace rootix::hardware
