#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "console/interpreter.h"
#include "console/shell_commands.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "support/shell_harness.h"

namespace rootix::console {
namespace {

using platform::CommandCall;
using platform::IsCommand;
using testing::ShellHarness;

// Lines typed (the first starts the chain) and every line printed from then
// on, typed lines included as the console echoes them. The final "exit" read
// at the end of the input is left out.
struct TranscriptCase {
  const char* name;
  QStringList typed;
  QStringList printed;
};

void PrintTo(const TranscriptCase& c, std::ostream* os) { *os << c.name; }

class ShellTranscript : public ::testing::TestWithParam<TranscriptCase> {};

TEST_P(ShellTranscript, PrintsExactly) {
  ShellHarness h;
  QStringList out = h.run(GetParam().typed);
  ASSERT_FALSE(out.isEmpty());
  EXPECT_EQ(out.takeLast(), QStringLiteral("exit"));
  EXPECT_EQ(out, GetParam().printed);
  EXPECT_EQ(h.exits, 1);
}

const TranscriptCase kShellCases[] = {
    {"EchoKeepsLeadingSpace", {"echo hi"}, {" hi"}},
    {"EchoAlonePrintsItsWord", {"echo"}, {"echo"}},
    {"PrintIsEcho", {"print  two  spaces "}, {"  two  spaces "}},
    {"CommandWordsIgnoreCase", {"ECHO x", "eChO y"}, {" x", "eChO y", " y"}},
    {"WordMustBeFollowedBySpace", {"echox"}, {"Unregistered command"}},
    {"LeadingSpaceMatchesNothing", {" echo x"}, {"Unregistered command"}},
    {"EmptyLineIsUnregistered", {""}, {"Unregistered command"}},
    {"TypedLineEchoedUnchanged", {"echo a", "  echo b  "}, {" a", "  echo b  ", "Unregistered command"}},
    {"HelpIsFortyNineLines", {"help"}, helpText()},
    {"ThreadsAcceptedUpTo4096",
     {"ft 4096", "ft 4097", "ft 0"},
     {"Thread count set to 4096", "ft 4097", "Invalid count", "ft 0", "Invalid count"}},
    {"ThreadsOutOf16BitRangeIsAnError", {"ft 40000", "echo on"}, {"Error occured: 6.", "echo on", " on"}},
    {"ThreadsRoundHalfToEven", {"ft 6.5", "ft 7.5"}, {"Thread count set to 6", "ft 7.5", "Thread count set to 8"}},
    {"SftSetsOnlyWhenUnset", {"sft 8", "sft 2"}, {"Thread count set to 8", "sft 2"}},
    {"NoRecords",
     {"pr", "pr 6", "pr 17", "pr -1"},
     {"No current records set", "pr 6", "No record set", "pr 17", "Invalid Test", "pr -1", "Invalid Test"}},
    {"Toggles", {"subhttp", "subhttp"}, {"subHTTP=True", "subhttp", "subHTTP=False"}},
    {"Sqr",
     {"sqr 3", "sqr -1.5", "sqr", "sqr 1e200"},
     {"9", "sqr -1.5", "2.25", "sqr", "0", "sqr 1e200", "Error occured: 6."}},
    {"NumberReading",
     {"rootix= &H1F", "rootix", "rootix= 1 2 . 5", "rootix", "rootix= -1.5D2", "rootix", "rootix= abc", "rootix",
      "rootix= &O17", "rootix"},
     {"rootix", "31", "rootix= 1 2 . 5", "rootix", "12.5", "rootix= -1.5D2", "rootix", "-150", "rootix= abc", "rootix",
      "0", "rootix= &O17", "rootix", "15"}},
    {"NumberFarOutOfRange", {"rootix= 1e400"}, {"Error occured: 6."}},
    {"PauseQueuesUntilResume",
     {"pauseinput", "pr", "echo a", "resumeinput"},
     {"Input paused", "pr", "echo a", "resumeinput", "Input resumed", "No current records set", " a"}},
    {"ResumeTwice",
     {"pauseinput", "resumeinput", "resumeinput"},
     {"Input paused", "resumeinput", "Input resumed", "resumeinput", "Error: Input not paused."}},
    {"SubmitName", {"setsubmitname bob"}, {"Submit name changed to:  bob"}},
    {"KilldelayPrintsNothing", {"killdelay 3"}, {}},
    // Accumulator
    {"AccMultiply", {"rootix= 2.5", "rootix* 4", "rootix"}, {"rootix* 4", "rootix", "10"}},
    {"AccCells",
     {"rootix= 3", "rootix:a 7", "rootix= 0", "rootix+a 7", "rootix"},
     {"rootix:a 7", "rootix= 0", "rootix+a 7", "rootix", "3"}},
    {"AccGreaterFalse", {"rootix= 5", "rootix> 5", "rootix"}, {"rootix> 5", "rootix", "0"}},
    {"AccEqualTrue", {"rootix= 5", "rootix== 5", "rootix"}, {"rootix== 5", "rootix", "1"}},
    {"AccNotEqualFalse", {"rootix= 5", "rootix!= 5", "rootix"}, {"rootix!= 5", "rootix", "0"}},
    {"AccLessWithCell",
     {"rootix= 9", "rootix:a 1", "rootix= 2", "rootix<a 1", "rootix"},
     {"rootix:a 1", "rootix= 2", "rootix<a 1", "rootix", "1"}},
    {"AccNoSpaceIsUnregistered", {"rootix=5"}, {"Unregistered command"}},
    {"AccWordIgnoresCase", {"ROOTIX= 5", "rootix ignored"}, {"rootix ignored", "5"}},
    {"AccCellIndexRoundsToEven",
     {"rootix= 4", "rootix:a 2", "rootix= 0", "rootix=a 1.5", "rootix"},
     {"rootix:a 2", "rootix= 0", "rootix=a 1.5", "rootix", "4"}},
    {"AccCellIndexOutOfRange",
     {"rootix=a 65536", "rootix:a -1", "rootix=a 1e10"},
     {"Error occured: 9.", "rootix:a -1", "Error occured: 9.", "rootix=a 1e10", "Error occured: 6."}},
    {"AccOverflowKeepsValue",
     {"rootix= 1e300", "rootix* 1e300", "rootix"},
     {"rootix* 1e300", "Error occured: 6.", "rootix", "1E+300"}},
};

INSTANTIATE_TEST_SUITE_P(Console, ShellTranscript, ::testing::ValuesIn(kShellCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Shell, RecordsListedAndRounded) {
  ShellHarness h;
  h.scoreBook.records().setRecord(6, 12.3455);
  h.scoreBook.records().setRecord(11, 300.5);
  QStringList out = h.run({"pr", "pr 6", "ft 2", "pr"});
  EXPECT_EQ(out.mid(0, 4), (QStringList{"Record for test 6: 12.346 seconds", "Record for test 11: 300.5 seconds",
                                        "pr 6", "Record for test 6: 12.346"}));
  EXPECT_EQ(out.mid(4, 4), (QStringList{"ft 2", "Thread count set to 2", "pr", "No current records set"}));
}

TEST(Shell, SftWithThreadsSetDoesNothing) {
  ShellHarness h;
  h.threads.set(4);
  EXPECT_EQ(h.run({"sft 8"}), QStringList{"exit"});
  EXPECT_EQ(h.threads.value(), 4);
}

TEST(Shell, ConfirmRunsTheChosenPart) {
  struct Case {
    bool yes;
    const char* line;
    QStringList printed;
  };
  const Case cases[] = {
      {true, "confirm Sure?,echo yes,echo no", {" yes", "exit"}},
      {false, "confirm Sure?,echo yes,echo no", {" no", "exit"}},
      {false, "confirm Sure?,echo yes", {"Error occured: 9.", "exit"}},
  };
  for (const Case& c : cases) {
    ShellHarness h;
    h.dialogs.answers = {c.yes};
    EXPECT_EQ(h.run({c.line}), c.printed) << c.line;
    EXPECT_EQ(h.dialogs.shown, QStringList{"Query| Sure?"});
  }
}

TEST(Shell, AlertShowsTextWithProductCaption) {
  ShellHarness h;
  h.run({"alert hello"});
  EXPECT_EQ(h.dialogs.shown, QStringList{"Rootix Benchmark v2.11| hello"});
}

TEST(Shell, CmdLineWordsAndStoredName) {
  ShellHarness h;
  h.commands.setCommandArgs({"a", "", "b"});
  h.settings.values[{"rrrrr", "Rootix", "Stor_name"}] = "alice";
  EXPECT_EQ(h.run({"printcmdline", "getstorname"}), (QStringList{"$0=a;", "$1=;", "$2=b;", "getstorname", "exit"}));
  EXPECT_EQ(h.commands.submitName(), "alice");
}

TEST(Shell, SkipRoundsAccumulatorHalfToEven) {
  const std::pair<const char*, int> cases[] = {{"rootix= 1.5", 2}, {"rootix= 2.5", 2}, {"rootix= -0.5", 0}};
  for (const auto& [line, expected] : cases) {
    ShellHarness h;
    h.run({line, "skip"});
    EXPECT_EQ(h.accumulator.skipCount, expected) << line;
  }
}

TEST(Shell, KilldelayEndsAtTheSecondTickAfterIt) {
  ShellHarness h;
  h.interp.doInput("killdelay 1", true);
  ASSERT_TRUE(h.killTimerOn);
  const int before = h.exits;
  h.commands.onKillTimerTick();
  EXPECT_EQ(h.exits, before);
  h.commands.onKillTimerTick();
  EXPECT_EQ(h.exits, before + 1);
}

TEST(Shell, KilldelayZeroOnlyLowersAnEnabledTimer) {
  ShellHarness h;
  h.interp.doInput("killdelay 0", true);
  EXPECT_FALSE(h.killTimerOn);
  h.interp.doInput("killdelay 5", true);
  h.interp.doInput("killdelay 0", true);
  const int before = h.exits;
  h.commands.onKillTimerTick();
  EXPECT_EQ(h.exits, before + 1);
}

TEST(Shell, SavelogWritesTranscriptAndReportsBadPaths) {
  QTemporaryDir dir;
  ShellHarness h;
  const QString path = dir.filePath("log.txt");
  QStringList out = h.run({"echo saved", "savelog " + path, "savelog " + dir.filePath("missing/log.txt")});
  EXPECT_EQ(out[2], "Successfully outputted to:  " + path);
  EXPECT_EQ(out[4], "Error occured: 76.");
  const QByteArray bytes = platform::files::readAll(path);
  EXPECT_TRUE(bytes.startsWith(" saved\r\n>savelog ")) << bytes.constData();
}

TEST(Shell, CopyPutsTranscriptOnClipboard) {
  ShellHarness h;
  h.run({"echo one", "copy"});
  EXPECT_TRUE(h.clipboard.text.startsWith(" one\r\n>copy\r\n")) << qPrintable(h.clipboard.text);
}

TEST(Shell, HideEndsTheChain) {
  ShellHarness h;
  EXPECT_EQ(h.run({"hide", "echo never"}), QStringList{});
  EXPECT_FALSE(h.face.visible);
  EXPECT_EQ(h.exits, 0);
}

TEST(Shell, LongLinesAndOddCharactersAreJustUnregistered) {
  ShellHarness h;
  const QString huge(1 << 20, u'x');
  const QString withNul = QStringLiteral("echo a") + QChar(0) + u'b';
  QStringList out = h.run({huge, withNul, QString(QChar(0xFFFD)) + "st 6"});
  EXPECT_EQ(out[0], "Unregistered command");
  EXPECT_EQ(out[2], QStringLiteral(" a") + QChar(0) + u'b');
  EXPECT_EQ(out[4], "Unregistered command");
}

TEST(Shell, ChainIsALoopNotARecursion) {
  // Recursion per typed line would overflow the stack long before this.
  ShellHarness h;
  QStringList typed;
  for (int i = 0; i < 300000; ++i) typed << QStringLiteral("rootix+ 1");
  h.run(typed);
  EXPECT_EQ(h.accumulator.value, 300000);
}

// The error path reads the next line whatever no_return was; a run that holds
// the console still holds it afterwards, so the chain stops after that line.
TEST(Shell, ErrorPathReadsOn) {
  for (const bool runHolds : {false, true}) {
    ShellHarness h;
    h.running.flag = runHolds;
    const QStringList rest = runHolds ? QStringList{} : QStringList{"exit"};
    EXPECT_EQ(h.run({"ft 99999", "echo next"}), QStringList({"Error occured: 6.", "echo next", " next"}) + rest)
        << "run holds the console: " << runHolds;
    EXPECT_EQ(h.running.flag, runHolds);
  }
}

TEST(Shell, RunningTestEndsTheChain) {
  ShellHarness h;
  h.interp.commands().add("fakestart", [&h](CommandCall&) { h.running.flag = true; });
  EXPECT_EQ(h.run({"fakestart", "echo never"}), QStringList{});
}

TEST(Shell, MenuReturnsChoiceOrZero) {
  struct Case {
    QStringList typed;
    int16_t choice;
    QString lastPrinted;
  };
  const Case cases[] = {
      {{"6"}, 6, "6"},
      {{"6.5"}, 6, "6.5"},
      {{"16"}, 16, "16"},
      {{"0", "ignored"}, 0, "ignored"},
      {{"17", "ignored"}, 0, "ignored"},
      {{"x", "ignored"}, 0, "ignored"},
  };
  for (const Case& c : cases) {
    ShellHarness h;
    for (const QString& line : c.typed) h.face.lines.push_back(line);
    EXPECT_EQ(PrintSelect(h.interp), c.choice) << qPrintable(c.typed[0]);
    const QStringList out = h.sink.lines();
    EXPECT_EQ(out.mid(0, 4), (QStringList{"Please select test.", "1.) 1M", "2.) 2M", "3.) 4M"}));
    EXPECT_EQ(out[6], "6.) 32M");
    EXPECT_EQ(out[11], "11.) 1024M");
    EXPECT_EQ(out[16], "16.) 32768M");
    EXPECT_EQ(out.last(), c.lastPrinted);
  }
}

TEST(IsCommandRule, Table) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"st", "st", true},         {"st", "ST 6", true},           {"st", "st6", false},
      {"st", "st  6", true},      {"st", " st 6", false},         {"rootix=", "rootix=a 1", false},
      {"rootix", "rootix", true}, {"rootix", "rootix= 1", false}, {"st", "s", false},
  };
  for (const auto& [word, line, expected] : cases) {
    EXPECT_EQ(IsCommand(word, line), expected) << word << " / " << line;
  }
}

}  // namespace
}  // namespace rootix::console
