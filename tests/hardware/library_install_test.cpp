#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>

#include "hardware/library_install.h"
#include "hardware_test_support.h"
#include "platform/runtime_error.h"

namespace rootix::hardware {
namespace {

using testing::PrintLog;

const QByteArray kTool = "#!/bin/sh\nexit 0\n";
const QByteArray kIni = "[CPU-Z]\r\nVERSION=2.0.1.0\r\n";

const QString kScanning = QStringLiteral("Scanning resources");
const QString kInstalling = QStringLiteral("Installing library, please wait.");
const QString kRegistering = QStringLiteral("Registering library");
const QString kInstalled = QStringLiteral("Library installed");
const QString kExists = QStringLiteral("Library already exists");
const QString kNotFound = QStringLiteral("Library not found.");

int modeOf(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

struct InstallCase {
  const char* name;
  std::map<QString, QByteArray> before;  // files already in the temporary folder
  QString file;                          // the argument of "install"
  QStringList lines;
  bool result;
  int summaries;                                        // runs of the hardware summary
  std::map<QString, std::pair<QByteArray, int>> after;  // content and mode
};

void PrintTo(const InstallCase& c, std::ostream* os) { *os << c.name; }

class InstallCases : public testing::TempFolderTest, public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallCases, WritesLibraries) {
  const InstallCase& c = GetParam();
  for (const auto& [name, bytes] : c.before) writeTemp(name, bytes, 0600);
  PrintLog log;
  int summaries = 0;
  // Resource names ignore case, as the program's own lookup does.
  auto resources = [](const QString& name) -> std::optional<QByteArray> {
    if (name.compare(QStringLiteral("CPUZ201.EXE"), Qt::CaseInsensitive) == 0) return kTool;
    if (name.compare(QStringLiteral("CPUZ.INI"), Qt::CaseInsensitive) == 0) return kIni;
    return std::nullopt;
  };
  LibraryInstaller installer(log.fn(), resources, [&summaries] { ++summaries; });

  EXPECT_EQ(installer.install(c.file), c.result);
  EXPECT_EQ(log.lines, c.lines);
  EXPECT_EQ(summaries, c.summaries);
  if (c.lines.size() > 1 && c.lines.back() != kInstalled) {
    EXPECT_EQ(installer.lastError(), c.lines.back());
  }
  for (const auto& [name, expected] : c.after) {
    EXPECT_EQ(platform::files::readAll(T + name), expected.first) << name.toStdString();
    EXPECT_EQ(modeOf(T + name), expected.second) << name.toStdString();
  }
  EXPECT_EQ(QDir(T).entryList(QDir::Files).size(), static_cast<qsizetype>(c.after.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, InstallCases,
    ::testing::Values(InstallCase{"ToolNew",
                                  {},
                                  "cpuz201.exe",
                                  {kScanning, kInstalling, kRegistering, kInstalled},
                                  true,
                                  1,
                                  {{"cpuz201.exe", {kTool, 0700}}}},
                      InstallCase{"ToolPresent",
                                  {{"cpuz201.exe", kTool}},
                                  "cpuz201.exe",
                                  {kScanning, kExists},
                                  false,
                                  1,
                                  {{"cpuz201.exe", {kTool, 0600}}}},
                      // Another version's tool would report what that version knew.
                      InstallCase{"OtherToolReplaced",
                                  {{"cpuz201.exe", "older"}},
                                  "cpuz201.exe",
                                  {kScanning, kInstalling, kRegistering, kInstalled},
                                  true,
                                  1,
                                  {{"cpuz201.exe", {kTool, 0700}}}},
                      InstallCase{"LongerToolReplaced",
                                  {{"cpuz201.exe", kTool + "more"}},
                                  "cpuz201.exe",
                                  {kScanning, kInstalling, kRegistering, kInstalled},
                                  true,
                                  1,
                                  {{"cpuz201.exe", {kTool, 0700}}}},
                      // A configuration file is always written anew.
                      InstallCase{"IniRewritten",
                                  {{"cpuz.ini", "older"}},
                                  "cpuz.ini",
                                  {kScanning, kInstalling, kRegistering, kInstalled},
                                  true,
                                  0,
                                  {{"cpuz.ini", {kIni, 0600}}}},
                      // Same file as "cpuz201.exe", but only the exact name runs the summary.
                      InstallCase{"UpperCaseNameNoSummary",
                                  {},
                                  "CPUZ201.EXE",
                                  {kScanning, kInstalling, kRegistering, kInstalled},
                                  true,
                                  0,
                                  {{"cpuz201.exe", {kTool, 0700}}}},
                      InstallCase{"UpperCaseNameFindsTheTool",
                                  {{"cpuz201.exe", kTool}},
                                  "CPUZ201.EXE",
                                  {kScanning, kExists},
                                  false,
                                  0,
                                  {{"cpuz201.exe", {kTool, 0600}}}},
                      // ".INI" is not ".ini": the file is not rewritten.
                      InstallCase{"UpperCaseIniKept",
                                  {{"cpuz.ini", "older"}},
                                  "CPUZ.INI",
                                  {kScanning, kExists},
                                  false,
                                  0,
                                  {{"cpuz.ini", {"older", 0600}}}},
                      InstallCase{
                          "NoSuchResource", {}, "mswinsck.ocx", {kScanning, kInstalling, kNotFound}, false, 0, {}},
                      InstallCase{"UnknownFilePresent",
                                  {{"mswinsck.ocx", "ocx"}},
                                  "mswinsck.ocx",
                                  {kScanning, kExists},
                                  false,
                                  0,
                                  {{"mswinsck.ocx", {"ocx", 0600}}}},
                      InstallCase{"EmptyName", {}, "", {kScanning, kInstalling, kNotFound}, false, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A name reaching out of the folder names no library, and the configuration
// file it points at is not deleted.
TEST_F(InstallCases, ConfigurationOutsideTheFolderIsNotDeleted) {
  const QString outside = QDir::cleanPath(T + "../victim.ini");
  platform::files::writeAtomic(outside, "keep", 0600);
  PrintLog log;
  LibraryInstaller installer(log.fn(), [](const QString&) { return std::optional<QByteArray>(kIni); }, {});
  EXPECT_FALSE(installer.install(QStringLiteral("../victim.ini")));
  EXPECT_EQ(platform::files::readAll(outside), QByteArray("keep"));
  EXPECT_EQ(log.lines.back(), kNotFound);
}

TEST_F(InstallCases, ReadOnlyConfigurationIsReplaced) {
  writeTemp(QStringLiteral("cpuz.ini"), "older", 0400);
  PrintLog log;
  LibraryInstaller installer(log.fn(), [](const QString&) { return std::optional<QByteArray>(kIni); }, {});
  EXPECT_TRUE(installer.install(QStringLiteral("cpuz.ini")));
  EXPECT_EQ(platform::files::readAll(T + "cpuz.ini"), kIni);
}

// A failure while writing is reported by its number and skips the summary.
TEST_F(InstallCases, WriteFailureReportsItsNumber) {
  ASSERT_TRUE(QDir(T).mkdir(QStringLiteral("cpuz201.exe")));  // a folder where the file goes
  PrintLog log;
  int summaries = 0;
  LibraryInstaller installer(
      log.fn(), [](const QString&) { return std::optional<QByteArray>(kTool); }, [&summaries] { ++summaries; });
  EXPECT_FALSE(installer.install(QStringLiteral("cpuz201.exe")));
  ASSERT_EQ(log.lines.size(), 3);
  EXPECT_EQ(log.lines.mid(0, 2), (QStringList{kScanning, kInstalling}));
  bool numeric = false;
  log.lines[2].toInt(&numeric);
  EXPECT_TRUE(numeric) << log.lines[2].toStdString();
  EXPECT_EQ(installer.lastError(), log.lines[2]);
  EXPECT_EQ(summaries, 0);
}

// A failure inside the summary is reported like one of install's own; the
// library stays written and the result says so.
TEST_F(InstallCases, SummaryFailureIsReported) {
  PrintLog log;
  LibraryInstaller installer(
      log.fn(), [](const QString&) { return std::optional<QByteArray>(kTool); }, [] { throw RuntimeError(kOverflow); });
  EXPECT_TRUE(installer.install(QStringLiteral("cpuz201.exe")));
  EXPECT_EQ(log.lines, (QStringList{kScanning, kInstalling, kRegistering, kInstalled, "6"}));
  EXPECT_EQ(installer.lastError(), QStringLiteral("6"));
  EXPECT_TRUE(LibraryExist(QStringLiteral("cpuz201.exe")));
  EXPECT_FALSE(LibraryExist(QStringLiteral("cpuz.ini")));
}

}  // namespace
}  // namespace rootix::hardware
