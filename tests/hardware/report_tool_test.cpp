// The hardware report tool (tools/hwreport) as Rootix uses it: taken from
// the executable's resources, written to a folder, started with -txt=, and
// its report read back by the parser and the hardware summary.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "hardware/embedded_resources.h"
#include "hardware/hardware_scan.h"
#include "hardware/report_parser.h"
#include "platform/text.h"

namespace rootix::hardware {
namespace {

QString dataFolder() {
  const QByteArray source = qgetenv("ROOTIX_SOURCE_DIR");
  if (!source.isEmpty()) return QString::fromLocal8Bit(source) + QStringLiteral("/tests/hardware/data/report_tool");
  return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/data/report_tool");
}

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void put(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  ASSERT_EQ(file.write(bytes), bytes.size());
}

std::vector<QByteArray> linesOf(const QByteArray& report) {
  std::vector<QByteArray> lines;
  for (const QByteArray& line : report.split('\n')) lines.push_back(line.endsWith('\r') ? line.chopped(1) : line);
  if (!lines.empty() && lines.back().isEmpty()) lines.pop_back();
  return lines;
}

// What every report must keep, whatever the machine, for the parser to read
// it: CR LF line ends only, a dashes line under each section title, the
// "Monitoring" section closed by "DMI", item lines with a value after their
// last tab, no line the parser would skip as a dump, and the final line
// "DMI System Enclosure" after which the parser reads nothing.
::testing::AssertionResult hasReportLayout(const QByteArray& report) {
  if (!report.endsWith("\r\nDMI System Enclosure\r\n")) {
    return ::testing::AssertionFailure() << "does not end with the line DMI System Enclosure";
  }
  if (report.count('\n') != report.count("\r\n") || report.count('\r') != report.count("\r\n")) {
    return ::testing::AssertionFailure() << "has a line end other than CR LF";
  }
  const std::vector<QByteArray> lines = linesOf(report);
  const QByteArray dashes(73, '-');
  int monitoring = -1;
  int dmi = -1;
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    const QByteArray& line = lines[static_cast<std::size_t>(i)];
    const auto next = [&] {
      return i + 1 < static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(i) + 1] : QByteArray();
    };
    if (line == "Monitoring") monitoring = i;
    if (line == "DMI" && monitoring >= 0 && dmi < 0) dmi = i;
    if ((line == "Monitoring" || line == "DMI") && next() != dashes) {
      return ::testing::AssertionFailure() << line.constData() << " is not a section title";
    }
    if (line.startsWith("Dump") || line.startsWith("0x") || line.startsWith("MSR")) {
      return ::testing::AssertionFailure() << "line " << i << " would be skipped: " << line.constData();
    }
    if (line == "DMI System Enclosure" && i + 1 != static_cast<int>(lines.size())) {
      return ::testing::AssertionFailure() << "DMI System Enclosure before the end, at line " << i;
    }
    if (line.startsWith('\t') && (line.count('\t') < 2 || line.endsWith('\t'))) {
      return ::testing::AssertionFailure() << "item without a value at line " << i << ": " << line.constData();
    }
  }
  if (monitoring < 0 || dmi < 0) return ::testing::AssertionFailure() << "no Monitoring section closed by DMI";
  return ::testing::AssertionSuccess();
}

// The tool carried inside Rootix, written out once for all tests.
class ReportTool : public ::testing::Test {
 protected:
  struct Run {
    int exitCode = -1;  // -1: crashed or hung
    QByteArray output;
    QByteArray errors;
  };

  static void SetUpTestSuite() {
    toolFolder_ = new QTemporaryDir;
    const auto bytes = loadResource(QStringLiteral("cpuz201.exe"));
    ASSERT_TRUE(bytes.has_value());
    toolPath_ = toolFolder_->filePath(QStringLiteral("cpuz201.exe"));
    put(toolPath_, *bytes);
    QFile::setPermissions(toolPath_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  static void TearDownTestSuite() {
    delete toolFolder_;
    toolFolder_ = nullptr;
  }

  static Run run(const QStringList& arguments) {
    QProcess process;
    process.start(toolPath_, arguments);
    Run result;
    if (!process.waitForFinished(20000)) {
      process.kill();
      process.waitForFinished();
      return result;
    }
    if (process.exitStatus() == QProcess::NormalExit) result.exitCode = process.exitCode();
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
  }

  // The report for a recorded tree, written through -txt= as Rootix asks.
  QByteArray reportFor(const QString& tree) {
    const Run result =
        run({QStringLiteral("--root=") + tree, QStringLiteral("-txt=") + work_.filePath(QStringLiteral("out"))});
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
    return readFile(work_.filePath(QStringLiteral("out.txt")));
  }

  QStringList workFiles() const {
    return QDir(work_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  }

  QTemporaryDir work_;
  static inline QTemporaryDir* toolFolder_ = nullptr;
  static inline QString toolPath_;
};

// --- Golden reports of recorded machines -----------------------------------

class GoldenReport : public ReportTool, public ::testing::WithParamInterface<const char*> {};

TEST_P(GoldenReport, MatchesTheExpectedReportByteForByte) {
  const QString tree = dataFolder() + QLatin1Char('/') + QLatin1String(GetParam());
  const QByteArray expected = readFile(tree + QStringLiteral(".expected.txt"));
  ASSERT_FALSE(expected.isEmpty()) << "missing " << tree.toStdString() << ".expected.txt";
  const QByteArray report = reportFor(tree);
  EXPECT_TRUE(hasReportLayout(report));
  EXPECT_EQ(report.toStdString(), expected.toStdString());
}

INSTANTIATE_TEST_SUITE_P(RecordedMachines, GoldenReport,
                         ::testing::Values("desktop-i3", "vm-epyc-2cpu", "vm-xeon-2cpu", "desktop-zen4", "desktop-zen5",
                                           "desktop-raptor-lake", "laptop-alder-lake", "vm-old-model"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::erase(name, '-');
                           return name;
                         });

// --- Odd machines: made-up trees that show one behaviour each --------------

QByteArray smbiosStructure(int type, const QByteArray& body, const std::vector<QByteArray>& strings) {
  QByteArray bytes;
  bytes.append(static_cast<char>(type)).append(static_cast<char>(4 + body.size())).append("\x00\x00", 2);
  bytes.append(body);
  for (const QByteArray& text : strings) bytes.append(text).append('\0');
  bytes.append(strings.empty() ? QByteArray("\0\0", 2) : QByteArray(1, '\0'));
  return bytes;
}

struct OddTree {
  const char* name;
  std::function<void(const QString& root)> build;
  std::vector<QByteArray> lines;     // present, whole
  std::vector<QByteArray> prefixes;  // no line starts with these
};

void threeCpusWithoutOnlineList(const QString& root) {
  QByteArray cpuinfo;
  for (int cpu = 0; cpu < 3; ++cpu) {
    cpuinfo += "processor\t: " + QByteArray::number(cpu) + "\nmodel name\t: Test CPU\ncpu MHz\t\t: 1000.000\n\n";
  }
  put(root + "/proc/cpuinfo", cpuinfo);
  put(root + "/sys/devices/system/cpu/online", "0-\n");
}

void twelveCoresInTwoL3Groups(const QString& root) {
  put(root + "/sys/devices/system/cpu/online", "0-11\n");
  for (int cpu = 0; cpu < 12; ++cpu) {
    const QString cache = root + QStringLiteral("/sys/devices/system/cpu/cpu%1/cache/").arg(cpu);
    put(cache + "index0/level", "2\n");
    put(cache + "index0/type", "Unified\n");
    put(cache + "index0/size", "256K\n");
    put(cache + "index0/ways_of_associativity", "8\n");
    put(cache + "index0/shared_cpu_list", QByteArray::number(cpu) + "\n");
    put(cache + "index1/level", "3\n");
    put(cache + "index1/type", "Unified\n");
    put(cache + "index1/size", "32768K\n");
    put(cache + "index1/ways_of_associativity", "16\n");
    put(cache + "index1/shared_cpu_list", cpu < 6 ? "0-5\n" : "6-11\n");
  }
}

void firmwareTexts(const QString& root) {
  const QString id = root + QStringLiteral("/sys/class/dmi/id/");
  put(id + "board_vendor", "M\xC3\xA4in\xE9 GmbH\n");      // UTF-8 "ä", then a Latin-1 byte
  put(id + "board_name", "Board\tX\r\nsecond line\n");     // a tab, and a line break
  put(id + "board_version", "x\xC0\x8Ay\n");               // overlong UTF-8 for a line feed
  put(id + "product_name", "\xE5\x90\x8D\xE5\x89\x8D\n");  // beyond Latin-1
  put(id + "sys_vendor", "\x1B[1mVendor\n");               // an escape sequence
}

void truncatedSmbiosTable(const QString& root) {
  const QString tables = QStringLiteral("/sys/firmware/dmi/tables/");
  const QByteArray table = readFile(dataFolder() + QStringLiteral("/desktop-i3") + tables + "DMI");
  const qsizetype cut = table.indexOf("ChannelA-DIMM0");
  ASSERT_GT(cut, 0);
  // Cut inside the first memory device's strings: the processor before it
  // is still read, the damaged entry and all after it are not.
  put(root + tables + "DMI", table.left(cut + 5));
}

void smbiosWithBadEntries(const QString& root) {
  QByteArray board(11, '\0');
  board[0] = 9;  // manufacturer: string 9 of 1
  board[1] = 1;  // product: string 1
  QByteArray table = smbiosStructure(2, board, {"Real Board"});
  // A structure shorter than its own header ends the walk.
  table += QByteArray("\x04\x02\x00\x00", 4) + QByteArray(40, '\x01');
  put(root + "/sys/firmware/dmi/tables/DMI", table);
}

void memoryBlocks(const QString& root) {
  put(root + "/sys/devices/system/memory/block_size_bytes", "8000000\n");
  for (int block : {0, 1, 5})
    put(root + QStringLiteral("/sys/devices/system/memory/memory%1/state").arg(block), "online\n");
  put(root + "/proc/meminfo", "MemTotal:         300000 kB\n");
}

// Without CPUID answers (no cpuid.raw) the name comes from what the kernel
// shows; its flags show a model number contradicted by AVX-512.
std::function<void(const QString&)> cpuinfoOnly(int model, const QByteArray& flags) {
  return [model, flags](const QString& root) {
    put(root + "/proc/cpuinfo",
        "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: " + QByteArray::number(model) +
            "\nmodel name\t: 13th Gen Intel(R) Core(TM) i5-13600K\nstepping\t: 1\n"
            "flags\t\t: fpu sse4_2 avx avx2 " +
            flags + "\n\n");
  };
}

void fifoForCpuinfo(const QString& root) {
  QDir().mkpath(root + "/proc");
  ASSERT_EQ(::mkfifo(QFile::encodeName(root + "/proc/cpuinfo").constData(), 0600), 0);
}

const OddTree kOddTrees[] = {
    {"EmptyTreeGivesTheSkeletonOnly",
     [](const QString&) {},
     {"Processors Information", "Chipset", "Monitoring", "DMI"},
     {"Number of sockets", "\tClock Speed", "\tCodename", "Memory Size", "\tvendor", "\tproduct"}},
    {"BrokenOnlineListFallsBackToCpuinfo",
     threeCpusWithoutOnlineList,
     {"Number of threads\t\t3", "\tSpecification\t\tTest CPU", "\tClock Speed 2\t\t1000.00 MHz (Core #2)"},
     {}},
    {"CacheLinesStartWithTheTotal",
     twelveCoresInTwoL3Groups,
     {"\tL2 cache\t\t3072 KBytes (12 x 256 KBytes), 8-way set associative",
      "\tL3 cache\t\t64 MBytes (2 x 32 MBytes), 16-way set associative"},
     {}},
    {"FirmwareTextsBecomeSingleLineLatin1",
     firmwareTexts,
     {"\tvendor\t\t\tM\xE4in\xE9 GmbH", "\tproduct\t\t\tBoard X", "\trevision\t\tx\xC0 y",
      "\tmanufacturer\t\t[1mVendor", "DMI System Information\t\t"},
     {"second line"}},
    {"TruncatedSmbiosTableKeepsWhatCameBefore",
     truncatedSmbiosTable,
     {"\tclock speed\t\t3900.0 MHz", "\tFSB speed\t\t100.0 MHz", "\tvendor\t\t\tGigabyte Technology Co., Ltd."},
     {"DMI Memory Device", "Memory Type", "Memory Size"}},
    {"SmbiosStringsOutOfRangeAreLeftOut",
     smbiosWithBadEntries,
     {"\tproduct\t\t\tReal Board"},
     {"\tvendor", "DMI Processor"}},
    {"MemoryBlocksGiveTheInstalledSize", memoryBlocks, {"Memory Size\t\t\t0.375 GBytes"}, {}},
    {"FifoInTheTreeDoesNotHang", fifoForCpuinfo, {"Processors Information"}, {"\tSpecification"}},
    {"CodenameFromCpuinfoAlone", cpuinfoOnly(0xB7, ""), {"\tCodename\t\tRaptor Lake"}, {}},
    {"CpuinfoFlagsContradictTheModel", cpuinfoOnly(0xB7, "avx512f"), {"\tCPUID\t\t\t6.7.1"}, {"\tCodename"}},
};

void PrintTo(const OddTree& tree, std::ostream* out) { *out << tree.name; }

class OddMachine : public ReportTool, public ::testing::WithParamInterface<OddTree> {};

TEST_P(OddMachine, ReportShowsWhatTheTreeReveals) {
  const OddTree& tree = GetParam();
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  tree.build(root.path());
  if (::testing::Test::HasFatalFailure()) return;
  const QByteArray report = reportFor(root.path());
  ASSERT_TRUE(hasReportLayout(report)) << report.toStdString();
  const std::vector<QByteArray> lines = linesOf(report);
  for (const QByteArray& wanted : tree.lines) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), wanted), lines.end())
        << "missing line \"" << wanted.toStdString() << "\" in\n"
        << report.toStdString();
  }
  for (const QByteArray& unwanted : tree.prefixes) {
    for (const QByteArray& line : lines) {
      EXPECT_FALSE(line.startsWith(unwanted)) << "unexpected line \"" << line.toStdString() << "\"";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Trees, OddMachine, ::testing::ValuesIn(kOddTrees),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Command line and writing the report ------------------------------------

struct Placement {
  const char* name;
  std::function<QStringList(const QString& folder)> arguments;
  const char* reportPath;  // relative to the folder
};

const Placement kPlacements[] = {
    {"AppendsTxtToTheName", [](const QString& f) { return QStringList{"-txt=" + f + "/out"}; }, "out.txt"},
    {"SwitchIgnoresCase", [](const QString& f) { return QStringList{"-TXT=" + f + "/out"}; }, "out.txt"},
    // Rootix does not quote the name: a folder with a space arrives split.
    {"RejoinsANameSplitAtASpace",
     [](const QString& f) {
       return QStringList{"-txt=" + f + "/with", "space/out"};
     },
     "with space/out.txt"},
};

void PrintTo(const Placement& placement, std::ostream* out) { *out << placement.name; }

class ReportPlacement : public ReportTool, public ::testing::WithParamInterface<Placement> {};

TEST_P(ReportPlacement, WritesTheReportAndNothingElse) {
  QDir(work_.path()).mkdir(QStringLiteral("with space"));
  const Run result = run(GetParam().arguments(work_.path()));
  ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
  const QString report = work_.filePath(QString::fromUtf8(GetParam().reportPath));
  EXPECT_TRUE(hasReportLayout(readFile(report)));
  const QStringList files = QDir(QFileInfo(report).absolutePath()).entryList(QDir::Files | QDir::Hidden);
  EXPECT_EQ(files, QStringList{QStringLiteral("out.txt")}) << "temporary files left behind";
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ReportPlacement, ::testing::ValuesIn(kPlacements),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReportTool, WithoutTxtSwitchTheReportGoesToStandardOutput) {
  const Run result = run({QStringLiteral("--root=") + dataFolder() + QStringLiteral("/desktop-i3")});
  ASSERT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, readFile(dataFolder() + QStringLiteral("/desktop-i3.expected.txt")));
  EXPECT_TRUE(workFiles().isEmpty());
}

TEST_F(ReportTool, ReplacesAnEarlierReportWhole) {
  put(work_.filePath(QStringLiteral("out.txt")), QByteArray(1 << 20, 'x'));
  const QByteArray report = reportFor(dataFolder() + QStringLiteral("/desktop-i3"));
  EXPECT_EQ(report, readFile(dataFolder() + QStringLiteral("/desktop-i3.expected.txt")));
  EXPECT_EQ(workFiles(), QStringList{QStringLiteral("out.txt")});
}

// A reader polls for out.txt and reads it a second later; the name must
// only ever appear for the finished file.
TEST_F(ReportTool, ReportAppearsOnlyByRenameOfAFinishedFile) {
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(work_.path()).constData(), IN_CREATE | IN_MOVED_TO), 0);
  reportFor(dataFolder() + QStringLiteral("/desktop-i3"));

  std::vector<std::pair<uint32_t, std::string>> events;
  alignas(inotify_event) char buffer[8192];
  for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
    for (char* p = buffer; p < buffer + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      events.emplace_back(event->mask, event->len > 0 ? event->name : "");
      p += sizeof(inotify_event) + event->len;
    }
  }
  ::close(watch);
  bool renamedIntoPlace = false;
  for (const auto& [mask, name] : events) {
    if (name != "out.txt") continue;
    EXPECT_FALSE(mask & IN_CREATE) << "out.txt was created in place";
    if (mask & IN_MOVED_TO) renamedIntoPlace = true;
  }
  EXPECT_TRUE(renamedIntoPlace);
}

struct Failure {
  const char* name;
  std::function<QStringList(const QString& folder)> arguments;
  int exitCode;
};

const Failure kFailures[] = {
    {"MissingFolder", [](const QString& f) { return QStringList{"-txt=" + f + "/no such folder/out"}; }, 1},
    // A folder in the report's place cannot be replaced by a file.
    {"FolderInThePlaceOfTheReport",
     [](const QString& f) {
       QDir(f).mkpath(QStringLiteral("out.txt/inside"));
       return QStringList{"-txt=" + f + "/out"};
     },
     1},
    {"EmptyName", [](const QString&) { return QStringList{"-txt="}; }, 2},
    {"UnknownSwitch",
     [](const QString& f) {
       return QStringList{"--frobnicate", "-txt=" + f + "/out"};
     },
     2},
};

void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.name; }

class ToolFailure : public ReportTool, public ::testing::WithParamInterface<Failure> {};

TEST_P(ToolFailure, ExitsWithAnErrorAndLeavesNothingBehind) {
  const QStringList arguments = GetParam().arguments(work_.path());
  const QStringList before = workFiles();
  const Run result = run(arguments);
  EXPECT_EQ(result.exitCode, GetParam().exitCode);
  EXPECT_FALSE(result.errors.isEmpty());
  EXPECT_EQ(workFiles(), before);
  EXPECT_FALSE(QFileInfo(work_.filePath(QStringLiteral("out.txt"))).isFile());
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ToolFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Resources carried inside the executable --------------------------------

TEST(EmbeddedResources, ConfigurationFileIsUtf16WithBomAndCrLfLines) {
  const auto ini = loadResource(QStringLiteral("CPUZ.INI"));
  ASSERT_TRUE(ini.has_value());
  EXPECT_EQ(ini->size(), 528);
  ASSERT_TRUE(ini->startsWith("\xFF\xFE"));
  QStringDecoder utf16(QStringDecoder::Utf16LE);
  const QString text = utf16(ini->mid(2));
  EXPECT_FALSE(utf16.hasError());
  EXPECT_EQ(text, QStringLiteral("[CPU-Z]\r\nVERSION=2.0.1.0\r\nTextFontSize=0\r\nTextFontColor=000080\r\n"
                                 "LabelFontSize=0\r\nACPI=1\r\nPCI=1\r\nMaxPCIBus=256\r\nDMI=1\r\nSensor=1\r\n"
                                 "SMBus=1\r\nDisplay=1\r\nUseDisplayAPI=1\r\nBusClock=1\r\nChipset=1\r\nSPD=1\r\n"
                                 "XOC=0\r\nCheckUpdates=1\r\nValidUsername=\r\nValidEmail=\r\nValidPublish=1\r\n"));
}

TEST(EmbeddedResources, ToolIsAnExecutableOfThisSystem) {
  const auto tool = loadResource(QStringLiteral("CPUZ201.EXE"));
  ASSERT_TRUE(tool.has_value());
  EXPECT_TRUE(
      tool->startsWith("\x7F"
                       "ELF"));
  EXPECT_GT(tool->size(), 10000);
}

class ResourceName : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(ResourceName, LookupIgnoresLetterCase) {
  const auto [asked, canonical] = GetParam();
  const auto found = loadResource(QString::fromLatin1(asked));
  ASSERT_TRUE(found.has_value()) << asked;
  EXPECT_EQ(*found, *loadResource(QString::fromLatin1(canonical)));
}

INSTANTIATE_TEST_SUITE_P(Names, ResourceName,
                         ::testing::Values(std::pair{"cpuz201.exe", "CPUZ201.EXE"},
                                           std::pair{"Cpuz201.Exe", "CPUZ201.EXE"}, std::pair{"cpuz.ini", "CPUZ.INI"},
                                           std::pair{"CpuZ.Ini", "CPUZ.INI"}));

class MissingResource : public ::testing::TestWithParam<const char*> {};

TEST_P(MissingResource, IsAbsent) { EXPECT_FALSE(loadResource(QString::fromUtf8(GetParam())).has_value()); }

INSTANTIATE_TEST_SUITE_P(Names, MissingResource,
                         ::testing::Values("mswinsck.ocx", "", "cpuz201", "cpuz201.exe ", " cpuz.ini", "cpuz201.ex"));

// --- The report through the parser and the hardware summary -----------------

struct SummaryCase {
  const char* tree;
  scores::HardwareSummary summary;
  int32_t threads;
};

scores::HardwareSummary desktopSummary() {
  scores::HardwareSummary s;
  s.score_extra_memType = QStringLiteral("DDR4");
  s.score_extra_memSize = QStringLiteral("16384 MB");
  s.score_extra_memClock = QStringLiteral("1200 MHz");
  s.score_extra_memTCas = s.score_extra_memTRCD = s.score_extra_memTRP = s.score_extra_memTRAS = QStringLiteral("0");
  s.score_extra_mbModel = QStringLiteral("B250M-DS3H-CF");
  s.score_extra_mbVendor = QStringLiteral("Gigabyte Technology Co., Ltd.");
  s.score_extra_cpu_string = QStringLiteral("Intel(R) Core(TM) i3-7100 CPU @ 3.90GHz");
  s.score_extra_cpu_core = QStringLiteral("Kaby Lake");
  s.score_extra_cpu_rev = QStringLiteral("9");
  s.score_extra_cpu_clock = QStringLiteral("3900 MHz");
  s.score_extra_cpu_fsb = QStringLiteral("100 MHz");
  s.score_extra_cpu_cache = QStringLiteral("3072 KB");
  s.score_extra_cpu_count = QStringLiteral("1");
  return s;
}

scores::HardwareSummary virtualMachineSummary() {
  scores::HardwareSummary s;
  s.score_extra_memSize = QStringLiteral("24104.96 MB");
  s.score_extra_memClock = QStringLiteral("0 MHz");
  s.score_extra_memTCas = s.score_extra_memTRCD = s.score_extra_memTRP = s.score_extra_memTRAS = QStringLiteral("0");
  s.score_extra_cpu_string = QStringLiteral("Oxide Virtual Turin-like Processor");
  s.score_extra_cpu_core = QStringLiteral("Turin");
  s.score_extra_cpu_rev = QStringLiteral("1");
  s.score_extra_cpu_clock = QStringLiteral("2095.99 MHz");
  s.score_extra_cpu_fsb = QStringLiteral("0 MHz");
  s.score_extra_cpu_cache = QStringLiteral("520192 KB");
  s.score_extra_cpu_count = QStringLiteral("1");
  return s;
}

// The report through the parser and the hardware summary, quietly.
HardwareState summaryOf(const QByteArray& report) {
  const PrintFn quiet = [](const QString&) {};
  HardwareState state;
  state.hwInfo = ParseCPUzOutput(text::fromSingleByte(report), quiet);
  summarizeReport(state, quiet);
  return state;
}

void PrintTo(const SummaryCase& summaryCase, std::ostream* out) { *out << summaryCase.tree; }

class ReportSummary : public ReportTool, public ::testing::WithParamInterface<SummaryCase> {};

TEST_P(ReportSummary, SummaryReadsTheToolsReport) {
  const QByteArray report = reportFor(dataFolder() + QLatin1Char('/') + QLatin1String(GetParam().tree));
  const HardwareState state = summaryOf(report);
  const scores::HardwareSummary& expected = GetParam().summary;
  for (const auto field : scores::kHardwareFields) {
    EXPECT_EQ((state.summary.*field).toStdString(), (expected.*field).toStdString());
  }
  EXPECT_EQ(state.hardwareThreads, GetParam().threads);
}

INSTANTIATE_TEST_SUITE_P(RecordedMachines, ReportSummary,
                         ::testing::Values(SummaryCase{"desktop-i3", desktopSummary(), 4},
                                           SummaryCase{"vm-epyc-2cpu", virtualMachineSummary(), 2}),
                         [](const auto& info) {
                           std::string name = info.param.tree;
                           std::erase(name, '-');
                           return name;
                         });

// The codename the hardware summary takes over for current processors (the
// machines above check every field): our table's name, or nothing where the
// machine's model number is not its own.
class SummaryCodename : public ReportTool, public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(SummaryCodename, NamesTheProcessorOrNothing) {
  const auto [tree, codename] = GetParam();
  const QByteArray report = reportFor(dataFolder() + QLatin1Char('/') + QLatin1String(tree));
  const HardwareState state = summaryOf(report);
  EXPECT_EQ(state.summary.score_extra_cpu_core.toStdString(), codename);
}

INSTANTIATE_TEST_SUITE_P(RecordedMachines, SummaryCodename,
                         ::testing::Values(std::pair{"vm-xeon-2cpu", "Emerald Rapids"},
                                           std::pair{"desktop-zen4", "Raphael"},
                                           std::pair{"desktop-zen5", "Granite Ridge"},
                                           std::pair{"desktop-raptor-lake", "Raptor Lake"},
                                           std::pair{"laptop-alder-lake", "Alder Lake"}, std::pair{"vm-old-model", ""}),
                         [](const auto& info) {
                           std::string name = info.param.first;
                           std::erase(name, '-');
                           return name;
                         });

}  // namespace
}  // namespace rootix::hardware
