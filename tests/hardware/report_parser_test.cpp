#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "hardware/report_parser.h"
#include "hardware_test_support.h"

namespace rootix::hardware {
namespace {

using testing::PrintLog;
using testing::reportText;

struct Expect {
  QStringView key;
  QStringView value;  // nullptr: the key is absent
};

struct LayoutCase {
  const char* name;
  QStringList lines;
  std::vector<Expect> expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class ParserLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ParserLayout, StoresItemsUnderTheirSection) {
  const LayoutCase& c = GetParam();
  PrintLog log;
  const HashTable table = ParseCPUzOutput(reportText(c.lines), log.fn());
  for (const Expect& e : c.expected) {
    EXPECT_EQ(table.getValue(e.key.toString()), e.value.toString()) << e.key.toString().toStdString();
  }
}

const QString kDashes = QStringLiteral("-------------------------------------------------------------------------");

INSTANTIATE_TEST_SUITE_P(
    Rules, ParserLayout,
    ::testing::Values(
        // The title is stored under the section before it, the underline
        // becomes the value of the new section's empty item.
        LayoutCase{"TitleUnderlineItem",
                   {"Chipset", "----------", "\tMemory Type\t\tDDR3"},
                   {{u".", u"Chipset"}, {u"Chipset.", u"----------"}, {u"Chipset.Memory Type", u"DDR3"}}},
        // Only the text after the last tab is the value; a line indented by
        // two tabs keeps one and loses its name.
        LayoutCase{"Tabs",
                   {"Processors", kDashes, "Number of threads\t\t8", "\tName\t\t\tA\tB", "\t\t-- Thread 0\t0"},
                   {{u"Processors.Number of threads", u"8"}, {u"Processors.Name", u"B"}, {u"Processors.", u"0"}}},
        // Everything from "Monitoring" to the line "DMI" is skipped; the line
        // "DMI" stays and its underline makes it the section.
        LayoutCase{"MonitoringUpToDmi",
                   {"Chipset", kDashes, "\tMemory Type\tDDR4", "Monitoring", kDashes, "\tvendor\tsensor chip",
                    "Dump Module", "DMI", kDashes, "\tvendor\tBoard Maker"},
                   {{u"Chipset.Memory Type", u"DDR4"},
                    {u"Monitoring.vendor", nullptr},
                    {u"Chipset.vendor", nullptr},
                    {u"DMI.", kDashes},
                    {u"DMI.vendor", u"Board Maker"}}},
        // A dump block hides everything up to the next empty line, its
        // underline too, so the section does not change.
        LayoutCase{"DumpBlock",
                   {"Memory SPD", kDashes, "Dump Module #1", kDashes, "\tsize\t8 GB", "", "\ttype\tDDR4"},
                   {{u"Memory SPD.size", nullptr}, {u"Dump Module #1.size", nullptr}, {u"Memory SPD.type", u"DDR4"}}},
        LayoutCase{"RegisterAndShortLines",
                   {"Thread dumps", kDashes, "0x00000000\t\t0x0D", "MSR 0x1B\t\t0x0", "abc", "\t0x00000001\t\t0x0E",
                    "\tMSR 0x48\t\t0x1"},
                   {{u"Thread dumps.0x00000000", nullptr},
                    {u"Thread dumps.MSR 0x1B", nullptr},
                    {u"Thread dumps.", kDashes},
                    {u"Thread dumps.0x00000001", u"0x0E"},
                    {u"Thread dumps.MSR 0x48", u"0x1"}}},
        LayoutCase{"StopsAtSystemEnclosure",
                   {"DMI", kDashes, "\tvendor\tFirst", "DMI System Enclosure", "\tvendor\tSecond",
                    "\tclock speed\t3400.0 MHz"},
                   {{u"DMI.vendor", u"First"}, {u"DMI.clock speed", nullptr}}},
        // Real reports end that title with two tabs, so they are read on.
        LayoutCase{"EnclosureWithTabsReadsOn",
                   {"DMI", kDashes, "\tvendor\tFirst", "DMI System Enclosure\t\t", "\tvendor\tSecond",
                    "\tclock speed\t3400.0 MHz"},
                   {{u"DMI.vendor", u"Second"}, {u"DMI.clock speed", u"3400.0 MHz"}, {u"DMI.", kDashes}}},
        // The title is the line above the underline as it now stands: an
        // item line has lost its leading tab.
        LayoutCase{"TitleFromItemLine",
                   {"\tCPU Thread 0", kDashes, "\tAPIC ID\t0", kDashes, "\tx\t1"},
                   {{u"CPU Thread 0.APIC ID", u"0"},
                    {u"CPU Thread 0.", kDashes},
                    {u"\tCPU Thread 0.", nullptr},
                    {u"APIC ID\t0.x", u"1"}}},
        // An underline on the first line names no section.
        LayoutCase{"UnderlineFirst", {kDashes, "\tName\tx"}, {{u".", kDashes}, {u".Name", u"x"}}},
        // Only CR LF ends a line.
        LayoutCase{"LoneLineFeed",
                   {"Timers", kDashes, "\tPerf timer\t10 MHz\nSys timer\t1 KHz"},
                   {{u"Timers.Perf timer", u"1 KHz"}}},
        // The last occurrence of an item wins.
        LayoutCase{"LastOccurrenceWins",
                   {"DMI", kDashes, "\tvendor\tBIOS Maker", "\tproduct\tX570", "\tvendor\tBoard Maker"},
                   {{u"DMI.vendor", u"Board Maker"}, {u"DMI.product", u"X570"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParserLayout, TabKeyAndValue) {
  EXPECT_EQ(GetTabKey(u"Name\t\tvalue"), QStringLiteral("Name"));
  EXPECT_EQ(GetTabKey(u"\tName\tvalue"), QString());
  EXPECT_EQ(GetTabKey(u"no tab"), QString());
  EXPECT_EQ(GetTabValue(u"Name\t\tvalue"), QStringLiteral("value"));
  EXPECT_EQ(GetTabValue(u"Name\tA\tB"), QStringLiteral("B"));
  EXPECT_EQ(GetTabValue(u"no tab"), QStringLiteral("no tab"));
  EXPECT_EQ(GetTabValue(u"trailing\t"), QString());
}

TEST(ParserProgress, EmptyTextPrintsOnlyTheOpeningLine) {
  PrintLog log;
  int pumps = 0;
  const HashTable table = ParseCPUzOutput(QString(), log.fn(), [&pumps] { ++pumps; });
  EXPECT_EQ(log.lines, QStringList{QStringLiteral("Parsing CPUz output file, this may take several minutes.")});
  EXPECT_EQ(table.entryCount(), 0);
  EXPECT_EQ(pumps, 0);
}

struct ProgressCase {
  int last;      // index of the last line
  int stopAt;    // line holding "DMI System Enclosure", -1 for none
  int expected;  // progress lines, reading 0, 5, 10, ...
};

void PrintTo(const ProgressCase& c, std::ostream* os) { *os << "L = " << c.last; }

class ParserProgress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(ParserProgress, PrintsEveryTwentiethWithTiesToEven) {
  const ProgressCase& c = GetParam();
  QStringList lines;
  for (int i = 0; i <= c.last; ++i) {
    lines << (i == c.stopAt ? QStringLiteral("DMI System Enclosure") : QStringLiteral("\tItem %1\t%1").arg(i));
  }
  PrintLog log;
  int pumps = 0;
  ParseCPUzOutput(reportText(lines), log.fn(), [&pumps] { ++pumps; });

  QStringList expected{QStringLiteral("Parsing CPUz output file, this may take several minutes.")};
  for (int k = 0; k < c.expected; ++k) expected << QString::number(k * 5) + QStringLiteral("% complete");
  EXPECT_EQ(log.lines, expected);
  EXPECT_EQ(pumps, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Steps, ParserProgress,
                         ::testing::Values(ProgressCase{999, -1, 20},  // at 0, 50, ..., 950
                                           ProgressCase{999, 51, 2},   // lines 0 and 50 came before the stop
                                           ProgressCase{999, 50, 1},   // the stop line prints nothing
                                           ProgressCase{50, -1,
                                                        26},  // 2.5 rounds to 2: every even line, up to "125% complete"
                                           ProgressCase{50, 3, 2},     // lines 0 and 2
                                           ProgressCase{0, -1, 1},     // one line, no CR LF
                                           ProgressCase{10, -1, 11},   // 0.5 rounds to 0: the index stays 0
                                           ProgressCase{11, -1, 12},   // moves on by 1
                                           ProgressCase{29, -1, 30},   // 1.45 still rounds to 1
                                           ProgressCase{30, -1, 16}),  // 1.5 rounds to 2
                         [](const auto& info) {
                           return "L" + std::to_string(info.param.last) +
                                  (info.param.stopAt >= 0 ? "_stop" + std::to_string(info.param.stopAt)
                                                          : std::string());
                         });

}  // namespace
}  // namespace rootix::hardware
