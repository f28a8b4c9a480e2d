#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

#include "hardware/hardware_scan.h"
#include "hardware/report_capture.h"
#include "hardware/report_parser.h"
#include "hardware_test_support.h"
#include "platform/numbers.h"
#include "platform/runtime_error.h"

namespace rootix::hardware {
namespace {

using testing::FakeAbortKey;
using testing::FakeLauncher;
using testing::FakeWaiter;
using testing::PrintLog;

// Report items as "Section.Item" = value, written in the tool's layout.
using Items = std::vector<std::pair<QString, QString>>;
using Changes = std::vector<std::pair<QString, std::optional<QString>>>;  // nullopt removes

const Items kBase = {
    {"Processors.Number of sockets", "1"},
    {"Processors Information.Specification", "Intel(R) Core(TM) i7-2600K CPU @ 3.40GHz"},
    {"Processors Information.Codename", " Sandy Bridge "},
    {"Processors Information.Core Stepping", "D2 "},
    {"Processors Information.Clock Speed 0", "3411.53 MHz (Core #0)"},
    {"Processors Information.Number of threads", "8 (max 8)"},
    {"Processors Information.L2 cache", "4 x 256 KBytes, 8-way set associative, 64-byte line size"},
    {"Processors Information.L3 cache", "8 MBytes, 16-way set associative, 64-byte line size"},
    {"Chipset.Memory Type", "DDR3"},
    {"Chipset.Memory Size", "16 GBytes"},
    {"Chipset.Uncore Frequency", "800.0 MHz"},
    {"Chipset.CAS# latency (CL)", "9.0"},
    {"Chipset.RAS# to CAS# delay (tRCD)", "9"},
    {"Chipset.RAS# Precharge (tRP)", "9"},
    {"Chipset.Cycle Time (tRAS)", "24"},
    {"DMI.vendor", "ASUSTeK Computer INC."},
    {"DMI.product", "P8P67"},
    {"DMI.FSB speed", "100.0 MHz"},
};

Items applied(Items items, const Changes& changes) {
  for (const auto& [key, value] : changes) {
    auto it = std::find_if(items.begin(), items.end(), [&key](const auto& item) { return item.first == key; });
    if (it != items.end()) items.erase(it);
    if (value) items.emplace_back(key, *value);
  }
  return items;
}

QString reportOf(const Items& items) {
  QStringList sections;
  for (const auto& item : items) {
    const QString section = item.first.section(u'.', 0, 0);
    if (!sections.contains(section)) sections << section;
  }
  QStringList lines{QStringLiteral("CPU-Z TXT Report"), QString(80, u'-'), QString()};
  for (const QString& section : sections) {
    lines << section << QString(73, u'-') << QString();
    for (const auto& [key, value] : items) {
      if (key.section(u'.', 0, 0) == section) lines << u'\t' + key.section(u'.', 1) + QStringLiteral("\t\t") + value;
    }
    lines << QString();
  }
  return testing::reportText(lines);
}

HashTable parsed(const QString& report) {
  PrintLog ignored;
  return ParseCPUzOutput(report, ignored.fn());
}

scores::HardwareSummary oldSummary() {
  scores::HardwareSummary s;
  for (QString* field :
       {&s.score_extra_memType, &s.score_extra_memSize, &s.score_extra_memClock, &s.score_extra_memTCas,
        &s.score_extra_memTRCD, &s.score_extra_memTRP, &s.score_extra_memTRAS, &s.score_extra_mbModel,
        &s.score_extra_mbVendor, &s.score_extra_cpu_string, &s.score_extra_cpu_core, &s.score_extra_cpu_rev,
        &s.score_extra_cpu_clock, &s.score_extra_cpu_fsb, &s.score_extra_cpu_cache, &s.score_extra_cpu_vcore,
        &s.score_extra_cpu_count}) {
    *field = QStringLiteral("old");
  }
  return s;
}

struct SummaryCase {
  const char* name;
  Changes changes;
  QString clockLine;  // the three lines after the processor name and core
  QString fsbLine;
  QString cacheLine;
  std::optional<QString> cpuClock;  // the summary's clock; nullopt: nothing taken over
};

void PrintTo(const SummaryCase& c, std::ostream* os) { *os << c.name; }

class SummaryRules : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(SummaryRules, PrintsAndTakesOver) {
  const SummaryCase& c = GetParam();
  HardwareState state;
  state.summary = oldSummary();
  state.hardwareThreads = 3;
  state.hwInfo = parsed(reportOf(applied(kBase, c.changes)));
  PrintLog log;
  summarizeReport(state, log.fn());

  ASSERT_EQ(log.lines.size(), 17);
  EXPECT_EQ(log.lines.mid(4, 3), (QStringList{c.clockLine, c.fsbLine, c.cacheLine}));
  if (c.cpuClock) {
    EXPECT_EQ(state.summary.score_extra_cpu_clock, *c.cpuClock);
    EXPECT_EQ(state.summary.score_extra_cpu_fsb, c.fsbLine.chopped(4));      // "... MHz FSB" -> "... MHz"
    EXPECT_EQ(state.summary.score_extra_cpu_cache, c.cacheLine.chopped(6));  // "... KB Cache" -> "... KB"
    EXPECT_EQ(state.hardwareThreads, 8);
  } else {
    EXPECT_EQ(state.summary, oldSummary());
    EXPECT_EQ(state.hardwareThreads, 3);
    EXPECT_EQ(log.lines[15], QStringLiteral("Thread Count = 3"));
  }
}

const QString kClock = QStringLiteral("3411.53 MHz Clock");
const QString kFsb = QStringLiteral("100 MHz FSB");
const QString kCache = QStringLiteral("8192 KB Cache");
const QString kCpuClock = QStringLiteral("3411.53 MHz");

INSTANTIATE_TEST_SUITE_P(
    Rules, SummaryRules,
    ::testing::Values(
        SummaryCase{"Base", {}, kClock, kFsb, kCache, kCpuClock},
        // Cache, in KB.
        SummaryCase{"L2PlainSize",
                    {{"Processors Information.L3 cache", std::nullopt},
                     {"Processors Information.L2 cache", "4096 KBytes, 16-way set associative"}},
                    kClock,
                    kFsb,
                    "4096 KB Cache",
                    kCpuClock},
        SummaryCase{"L2PerCore",
                    {{"Processors Information.L3 cache", std::nullopt},
                     {"Processors Information.L2 cache", "2 x 512 KBytes, 8-way set associative"}},
                    kClock,
                    kFsb,
                    "1024 KB Cache",
                    kCpuClock},
        SummaryCase{"L2PerCoreInMegabytes",
                    {{"Processors Information.L3 cache", std::nullopt},
                     {"Processors Information.L2 cache", "2 x 1 MBytes, 8-way set associative"}},
                    kClock,
                    kFsb,
                    "2048 KB Cache",
                    kCpuClock},
        SummaryCase{"L2PerCoreMegabytesBeforeKb",
                    {{"Processors Information.L3 cache", std::nullopt},
                     {"Processors Information.L2 cache", "2 x 1 MBytes, 16-way, 64 KB line"}},
                    kClock,
                    kFsb,
                    "2048 KB Cache",
                    kCpuClock},
        // Two-digit counts are not the per-core form: only the count is read.
        SummaryCase{"L2TwoDigitCount",
                    {{"Processors Information.L3 cache", std::nullopt},
                     {"Processors Information.L2 cache", "12 x 256 KBytes, 8-way set associative"}},
                    kClock,
                    kFsb,
                    "12 KB Cache",
                    kCpuClock},
        SummaryCase{"L3Fraction",
                    {{"Processors Information.L3 cache", "1.5 MBytes"}},
                    kClock,
                    kFsb,
                    "1536 KB Cache",
                    kCpuClock},
        SummaryCase{
            "NoCache",
            {{"Processors Information.L3 cache", std::nullopt}, {"Processors Information.L2 cache", std::nullopt}},
            kClock,
            kFsb,
            "0 KB Cache",
            kCpuClock},
        // Bus clock: the first of three that is not 0, else the BCLK timer.
        SummaryCase{"FsbFromHtLink",
                    {{"DMI.FSB speed", std::nullopt},
                     {"Processors Information.HT Link speed", "200.0 MHz"},
                     {"Processors Information.Rated Bus speed", "800.0 MHz"}},
                    kClock,
                    "200 MHz FSB",
                    kCache,
                    kCpuClock},
        // Single precision: 133.33, not 133.330001831055.
        SummaryCase{"FsbFromRatedBusSingle",
                    {{"DMI.FSB speed", "0 MHz"}, {"Processors Information.Rated Bus speed", "133.33 MHz"}},
                    kClock,
                    "133.33 MHz FSB",
                    kCache,
                    kCpuClock},
        SummaryCase{"FsbFromBclkTimer",
                    {{"DMI.FSB speed", std::nullopt}, {"Timers.BCLK timer", "99.8 MHz"}},
                    kClock,
                    "99.8 MHz FSB",
                    kCache,
                    kCpuClock},
        SummaryCase{"NoFsb", {{"DMI.FSB speed", std::nullopt}}, kClock, "0 MHz FSB", kCache, kCpuClock},
        // Clock: the larger of the measured and the DMI clock; 1 to 9999.
        SummaryCase{"DmiClockWins", {{"DMI.clock speed", "3800.0 MHz"}}, kClock, kFsb, kCache, "3800 MHz"},
        SummaryCase{"DmiClockSingle", {{"DMI.clock speed", "3800.1 MHz"}}, kClock, kFsb, kCache, "3800.1 MHz"},
        SummaryCase{"DmiClockLower", {{"DMI.clock speed", "3400.0 MHz"}}, kClock, kFsb, kCache, kCpuClock},
        SummaryCase{"DmiClockZero", {{"DMI.clock speed", "0 MHz"}}, kClock, kFsb, kCache, kCpuClock},
        SummaryCase{
            "ClockOne", {{"Processors Information.Clock Speed 0", "1 MHz"}}, "1 MHz Clock", kFsb, kCache, "1 MHz"},
        SummaryCase{"ClockJustBelowLimit",
                    {{"Processors Information.Clock Speed 0", "9999.99 MHz"}},
                    "9999.99 MHz Clock",
                    kFsb,
                    kCache,
                    "9999.99 MHz"},
        SummaryCase{"ClockTenThousand",
                    {{"Processors Information.Clock Speed 0", "10000 MHz"}},
                    "10000 MHz Clock",
                    kFsb,
                    kCache,
                    std::nullopt},
        SummaryCase{"ClockHalf",
                    {{"Processors Information.Clock Speed 0", "0.5 MHz"}},
                    "0.5 MHz Clock",
                    kFsb,
                    kCache,
                    std::nullopt},
        SummaryCase{"ClockNotRead",
                    {{"Processors Information.Clock Speed 0", "n.a. (Core #0)"}},
                    "0 MHz Clock",
                    kFsb,
                    kCache,
                    std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Summary, TakesEveryFieldOver) {
  HardwareState state;
  state.hwInfo = parsed(reportOf(kBase));
  PrintLog log;
  summarizeReport(state, log.fn());

  EXPECT_EQ(log.lines, (QStringList{"", "Found CPU: ", "Intel(R) Core(TM) i7-2600K CPU @ 3.40GHz",
                                    " Sandy Bridge  Core", "3411.53 MHz Clock", "100 MHz FSB", "8192 KB Cache",
                                    "Step D2 ", "Found Memory: ", "16384 MB DDR3", "800 MHz", "Cl 9-9-9-24",
                                    "Found Motherboard: ", "ASUSTeK Computer INC.", "P8P67", "Thread Count = 8", ""}));
  scores::HardwareSummary expected;
  expected.score_extra_memType = "DDR3";
  expected.score_extra_memSize = "16384 MB";
  expected.score_extra_memClock = "800 MHz";
  expected.score_extra_memTCas = "9";
  expected.score_extra_memTRCD = "9";
  expected.score_extra_memTRP = "9";
  expected.score_extra_memTRAS = "24";
  expected.score_extra_mbModel = "P8P67";
  expected.score_extra_mbVendor = "ASUSTeK Computer INC.";
  expected.score_extra_cpu_string = "Intel(R) Core(TM) i7-2600K CPU @ 3.40GHz";
  expected.score_extra_cpu_core = "Sandy Bridge";
  expected.score_extra_cpu_rev = "D2";
  expected.score_extra_cpu_clock = "3411.53 MHz";
  expected.score_extra_cpu_fsb = "100 MHz";
  expected.score_extra_cpu_cache = "8192 KB";
  expected.score_extra_cpu_count = "1";
  EXPECT_EQ(state.summary, expected);
  EXPECT_EQ(state.hardwareThreads, 8);
}

// Every number in the summary and its lines uses the locale's separator.
TEST(Summary, LocaleDecimalComma) {
  const QChar before = num::localeDecimalSeparator();
  num::setLocaleDecimalSeparatorForTesting(u',');
  HardwareState state;
  state.hwInfo = parsed(reportOf(applied(kBase, {{"Chipset.Uncore Frequency", "800.5 MHz"},
                                                 {"DMI.FSB speed", "133.3 MHz"},
                                                 {"Processors Information.L3 cache", "1.5 MBytes"},
                                                 {"Chipset.Memory Size", "0.5 GBytes"}})));
  PrintLog log;
  summarizeReport(state, log.fn());
  num::setLocaleDecimalSeparatorForTesting(before);

  EXPECT_EQ(log.lines.mid(4, 3), (QStringList{"3411,53 MHz Clock", "133,3 MHz FSB", "1536 KB Cache"}));
  EXPECT_EQ(log.lines[9], QStringLiteral("512 MB DDR3"));
  EXPECT_EQ(log.lines[10], QStringLiteral("800,5 MHz"));
  EXPECT_EQ(state.summary.score_extra_cpu_clock, QStringLiteral("3411,53 MHz"));
  EXPECT_EQ(state.summary.score_extra_cpu_fsb, QStringLiteral("133,3 MHz"));
  EXPECT_EQ(state.summary.score_extra_memClock, QStringLiteral("800,5 MHz"));
}

// A number too large for its type fails the scan like any other error, and
// leaves the summary as it was rather than half updated.
TEST(Summary, OverflowLeavesTheSummaryWhole) {
  for (const Changes& changes :
       {Changes{{"Processors Information.Number of threads", "99999999999"}},
        Changes{{"Chipset.Memory Size", "1e307 GBytes"}}, Changes{{"DMI.clock speed", "1e39 MHz"}},
        Changes{{"Processors Information.Clock Speed 0", "1e999 MHz"}}}) {
    HardwareState state;
    state.summary = oldSummary();
    state.hwInfo = parsed(reportOf(applied(kBase, changes)));
    PrintLog log;
    try {
      summarizeReport(state, log.fn());
      ADD_FAILURE() << "no error for " << changes[0].second->toStdString();
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.code(), kOverflow);
    }
    EXPECT_EQ(state.summary, oldSummary());
    EXPECT_EQ(state.hardwareThreads, 0);
  }
}

// The recorded reports of real machines, with values checked by hand.
struct RecordedCase {
  const char* file;
  QStringList lines;
  scores::HardwareSummary summary;
  int32_t threads;
};

void PrintTo(const RecordedCase& c, std::ostream* os) { *os << c.file; }

class RecordedReports : public ::testing::TestWithParam<RecordedCase> {};

TEST_P(RecordedReports, Summarize) {
  const RecordedCase& c = GetParam();
  HardwareState state;
  state.hwInfo = parsed(testing::readRecordedReport(QString::fromLatin1(c.file)));
  PrintLog log;
  summarizeReport(state, log.fn());
  EXPECT_EQ(log.lines, c.lines);
  EXPECT_EQ(state.summary, c.summary);
  EXPECT_EQ(state.hardwareThreads, c.threads);
}

scores::HardwareSummary ryzenSummary() {
  scores::HardwareSummary s;
  s.score_extra_memType = "DDR4";
  s.score_extra_memSize = "32768 MB";
  s.score_extra_memClock = "1599.6 MHz";
  s.score_extra_memTCas = "16";
  s.score_extra_memTRCD = "18";
  s.score_extra_memTRP = "18";
  s.score_extra_memTRAS = "36";
  s.score_extra_mbModel = "X570S UD";
  s.score_extra_mbVendor = "Gigabyte Technology Co. Ltd.";
  s.score_extra_cpu_string = "AMD Ryzen 7 5800X3D 8-Core Processor           ";
  s.score_extra_cpu_core = "Vermeer";
  s.score_extra_cpu_rev = "VMR-B2";
  s.score_extra_cpu_clock = "4448.96 MHz";  // above the DMI clock of 3400
  s.score_extra_cpu_fsb = "100 MHz";        // DMI processor block, after the enclosure
  s.score_extra_cpu_cache = "98304 KB";     // L3 "96 MB"
  s.score_extra_cpu_count = "1";
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RecordedReports,
    ::testing::Values(
        RecordedCase{"ryzen7-5800x3d-v2.05.txt",
                     {"", "Found CPU: ", "AMD Ryzen 7 5800X3D 8-Core Processor           ", "Vermeer Core",
                      "4448.96 MHz Clock", "100 MHz FSB", "98304 KB Cache", "Step VMR-B2",
                      "Found Memory: ", "32768 MB DDR4", "1599.6 MHz", "Cl 16-18-18-36",
                      "Found Motherboard: ", "Gigabyte Technology Co. Ltd.", "X570S UD", "Thread Count = 16", ""},
                     ryzenSummary(),
                     16},
        // Older layout without "Clock Speed 0": nothing is taken over.
        RecordedCase{
            "atom-z3735f-tablet-v1.72.txt",
            {"", "Found CPU: ", "Intel(R) Atom(TM) CPU  Z3735F @ 1.33GHz", "Bay Trail-CR Core", "0 MHz Clock",
             "83 MHz FSB", "2048 KB Cache", "Step C0", "Found Memory: ", "2035712 MB DDR3", "0 MHz", "Cl 9-9-9-24",
             "Found Motherboard: ", "Type2 - Board Manufacturer", "i86", "Thread Count = 0", ""},
            {},
            0},
        // A virtual machine: "n.a." clock, empty values, no timings.
        RecordedCase{"kvm-guest-v1.92.txt",
                     {"", "Found CPU: ", "Intel Core Processor (Haswell, no TSX, IBRS)", "Haswell Core", "0 MHz Clock",
                      "0 MHz FSB", "16384 KB Cache", "Step ", "Found Memory: ", "16384 MB ", "0 MHz", "Cl 0-0-0-0",
                      "Found Motherboard: ", "Rayvision", "Default string", "Thread Count = 0", ""},
                     {},
                     0}),
    [](const auto& info) { return QString::fromLatin1(info.param.file).section(u'-', 0, 0).toStdString(); });

// GetCPUz itself: the tool check, and the table replaced on every run.
class GetCPUzTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    launcher.onStart = [this] {
      waiter.at(waiter.now + 100, [this] { writeTemp(QStringLiteral("out.txt"), nextReport.toLatin1()); });
    };
  }
  PrintLog log;
  FakeWaiter waiter;
  FakeAbortKey key{waiter};
  FakeLauncher launcher;
  ReportCapture capture{log.fn(), launcher, waiter, key};
  QString nextReport;
};

TEST_F(GetCPUzTest, WithoutTheToolNothingChanges) {
  HardwareState state;
  state.summary = oldSummary();
  state.hwInfo.setValue(QStringLiteral("k"), QStringLiteral("v"));
  GetCPUz(state, capture, log.fn());
  EXPECT_EQ(log.lines, QStringList{"CPUz isn't installed. Please install for more accurate hardware information."});
  EXPECT_TRUE(launcher.calls.empty());
  EXPECT_EQ(state.hwInfo.getValue(QStringLiteral("k")), QStringLiteral("v"));
  EXPECT_EQ(state.summary, oldSummary());
}

TEST_F(GetCPUzTest, ReplacesTheTableEvenWhenTheSummaryStays) {
  writeTemp(QStringLiteral("cpuz201.exe"), "tool", 0700);
  HardwareState state;
  nextReport = reportOf(kBase);
  GetCPUz(state, capture, log.fn());
  const scores::HardwareSummary first = state.summary;
  EXPECT_EQ(first.score_extra_cpu_clock, QStringLiteral("3411.53 MHz"));

  nextReport =
      reportOf(applied(kBase, {{"Processors Information.Clock Speed 0", "n.a."}, {"DMI.product", "Other Board"}}));
  GetCPUz(state, capture, log.fn());
  EXPECT_EQ(state.hwInfo.getValue(QStringLiteral("DMI.product")), QStringLiteral("Other Board"));
  EXPECT_EQ(state.summary, first);
  EXPECT_EQ(state.hardwareThreads, 8);
  EXPECT_EQ(launcher.calls.size(), 2u);
}

}  // namespace
}  // namespace rootix::hardware
