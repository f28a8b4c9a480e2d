#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <map>

#include "hardware/cleanup.h"
#include "hardware_test_support.h"
#include "support/shell_harness.h"

namespace rootix::hardware {
namespace {

using testing::PrintLog;

const QString kDone = QStringLiteral("Rootix libraries and settings removed.");
const QString kWinsockQuestion = QStringLiteral(
    "Rootix Benchmark v2.11|WARNING: Microsoft Winsock Control may be in use by other applications, are you sure "
    "you wish to remove this?");

struct CleanUpCase {
  const char* name;
  std::map<QString, QString> settings;  // key under ("rrrrr", "Rootix")
  std::map<QString, int> files;         // name and mode
  std::deque<bool> answers;             // to the Winsock question
  QStringList lines;
  QStringList remaining;  // files still there afterwards
  bool asked = false;
  bool settingsFail = false;
};

void PrintTo(const CleanUpCase& c, std::ostream* os) { *os << c.name; }

class CleanUpCases : public testing::TempFolderTest, public ::testing::WithParamInterface<CleanUpCase> {};

TEST_P(CleanUpCases, RemovesInOrder) {
  const CleanUpCase& c = GetParam();
  rootix::testing::MemorySettings settings;
  settings.failRemove = c.settingsFail;
  for (const auto& [key, value] : c.settings) settings.set("rrrrr", "Rootix", key, value);
  for (const auto& [name, mode] : c.files) writeTemp(name, "x", mode);
  rootix::testing::FakeDialogs dialogs;
  dialogs.answers = c.answers;
  PrintLog log;

  CleanUp(log.fn(), settings, dialogs);

  EXPECT_EQ(log.lines, c.lines);
  QStringList remaining;
  for (const auto& [name, mode] : c.files) {
    if (tempExists(name)) remaining << name;
  }
  EXPECT_EQ(remaining, c.remaining);
  EXPECT_EQ(dialogs.shown, c.asked ? QStringList{kWinsockQuestion} : QStringList{});
  if (!c.settingsFail) {
    EXPECT_EQ(settings.get("rrrrr", "Rootix", "Stor_name"), QString());
    EXPECT_EQ(settings.get("rrrrr", "Rootix", "Error"), QString());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CleanUpCases,
    ::testing::Values(
        CleanUpCase{"NothingToRemove", {}, {}, {}, {kDone}, {}},
        // An empty setting counts as absent; files outside the list stay.
        CleanUpCase{"SettingsAndFiles",
                    {{"Stor_name", "me"}, {"Error", ""}},
                    {{"csrdtsc.dll", 0600},
                     {"cpuz-readme.txt", 0600},
                     {"cpuz.ini", 0600},
                     {"cpuz201.exe", 0700},
                     {"out.txt", 0600}},
                    {},
                    {"Removing Stor_name setting", "Deleting cpuz201.exe", "Deleting cpuz.ini",
                     "Deleting cpuz-readme.txt", "Deleting csrdtsc.dll", kDone},
                    {"out.txt"}},
        CleanUpCase{"BothSettings",
                    {{"Stor_name", "me"}, {"Error", "1"}},
                    {},
                    {},
                    {"Removing Stor_name setting", "Removing Error setting", kDone},
                    {}},
        // Without force a read-only file is not deleted, also for root: the
        // clean-up stops there with the platform's description.
        CleanUpCase{"ReadOnlyIniStops",
                    {},
                    {{"cpuz201.exe", 0700}, {"cpuz165.exe", 0600}, {"cpuz.ini", 0400}, {"cpuz155.exe", 0600}},
                    {},
                    {"Deleting cpuz201.exe", "Deleting cpuz165.exe", "Permission denied"},
                    {"cpuz.ini", "cpuz155.exe"}},
        CleanUpCase{"WinsockKeptOnNo", {}, {{"mswinsck.ocx", 0600}}, {false}, {kDone}, {"mswinsck.ocx"}, true},
        CleanUpCase{"WinsockRemovedOnYes",
                    {},
                    {{"mswinsck.ocx", 0600}, {"cpuz.exe", 0600}},
                    {true},
                    {"Deleting cpuz.exe", "Deleting mswinsck.ocx", kDone},
                    {},
                    true},
        CleanUpCase{"SettingNotRemovable",
                    {{"Stor_name", "me"}},
                    {{"cpuz201.exe", 0700}},
                    {},
                    {"Permission denied"},
                    {"cpuz201.exe"},
                    false,
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rootix::hardware
