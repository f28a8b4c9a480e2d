#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <utility>
#include <vector>

#include "score_test_support.h"
#include "scores/score_commands.h"
#include "scores/score_list.h"
#include "support/shell_harness.h"

namespace rootix::scores {
namespace {

using namespace testdata;

// The console with the score commands, a folder for score files and the
// sample machine as hardware summary.
struct ScoreShell {
  ScoreShell() {
    registerScoreCommands(h.interp.commands(), {h.scoreBook, hardware, h.dialogs, h.accumulator.value,
                                                [this](const QString& line) { h.console.PrintLn(line); }});
  }

  QString inDir(QString s) const { return s.replace(QStringLiteral("%D"), dir.path()); }
  void writeFile(const QString& name, const QByteArray& bytes) const {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray readFile(const QString& name) const {
    QFile f(dir.filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  // Runs the typed lines (%D is the folder) and returns the printed ones,
  // without the final "exit" read when the lines run out.
  QStringList run(const QStringList& typed) {
    QStringList lines;
    for (const QString& line : typed) lines << inDir(line);
    QStringList out = h.run(lines);
    if (!out.isEmpty() && out.back() == u"exit") out.removeLast();
    return out;
  }

  rootix::testing::ShellHarness h;
  ScoreList& scores = h.scoreBook.list();
  HardwareSummary hardware = sampleHardware();
  QTemporaryDir dir;
};

struct CommandCase {
  const char* name;
  std::vector<std::pair<int, double>> records;
  std::vector<std::pair<const char*, QByteArray>> files;  // in the folder before the lines are typed
  std::deque<bool> answers;                               // to the replace question
  QStringList typed;
  QStringList printed;  // %D is the folder
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class ScoreCommands : public ::testing::TestWithParam<CommandCase> {};

TEST_P(ScoreCommands, PrintExactly) {
  const CommandCase& c = GetParam();
  ScoreShell shell;
  for (const auto& [test, record] : c.records) shell.h.scoreBook.records().setRecord(test, record);
  for (const auto& [name, bytes] : c.files) shell.writeFile(QString::fromLatin1(name), bytes);
  shell.h.dialogs.answers = c.answers;
  QStringList expected;
  for (const QString& line : c.printed) expected << shell.inDir(line);
  EXPECT_EQ(shell.run(c.typed), expected);
}

const QByteArray kValid = scoreFile(sample207Lines());

const CommandCase kCommandCases[] = {
    {"ShowscoreIsThePlainTextLineByLine", {{6, 12.345}}, {}, {}, {"showscore 1"}, sample207Lines()},
    {"ShowscoreSlotZeroIsAnError", {}, {}, {}, {"showscore 0", "echo on"}, {"Error occured: 9.", "echo on", " on"}},
    {"ShowscorePastTheEnd", {{6, 1}}, {}, {}, {"showscore 2"}, {"Error occured: 9."}},
    {"SaveWithoutNumber",
     {},
     {},
     {},
     {"save %D/out.rxs", "save", "save "},
     {"Syntax: save path scorenumber", "save", "Syntax: save path scorenumber", "save ",
      "Syntax: save path scorenumber"}},
    {"SaveIgnoresFurtherWords", {{6, 12.345}}, {}, {}, {"save %D/out.rxs 1 2"}, {"0"}},
    {"SaveNumberThatIsNoNumber", {{6, 1}}, {}, {}, {"save %D/out.rxs x"}, {"Error occured: 13."}},
    {"SaveNumberWithUnit", {{6, 1}}, {}, {}, {"save %D/out.rxs 1st"}, {"Error occured: 13."}},
    // Split at every single space: the word after two spaces is empty.
    {"SaveTwoSpacesBeforeNumber", {{6, 1}}, {}, {}, {"save %D/out.rxs  1"}, {"Error occured: 13."}},
    {"SaveNumberBeyond16Bits", {{6, 1}}, {}, {}, {"save %D/out.rxs 40000"}, {"Error occured: 6."}},
    {"SaveSlotZero", {{6, 1}}, {}, {}, {"save %D/out.rxs 0"}, {"Error occured: 9."}},
    {"SaveOverFileAnsweredNo", {{6, 1}}, {{"out.rxs", "old"}}, {false}, {"save %D/out.rxs 1"}, {"58"}},
    {"SaveOverFileAnsweredYes", {{6, 1}}, {{"out.rxs", "old"}}, {true}, {"save %D/out.rxs 1"}, {"0"}},
    {"SaveArgumentTrimmed", {{6, 1}}, {}, {}, {"save   %D/out.rxs 1   "}, {"0"}},
    {"LoadPrintsZero",
     {},
     {{"a.rxs", kValid}},
     {},
     {"load %D/a.rxs", "rootix=score 1", "rootix", "rootix=test 1", "rootix"},
     {"0", "rootix=score 1", "rootix", "12.345", "rootix=test 1", "rootix", "6"}},
    {"LoadPathTrimmed", {}, {{"a.rxs", kValid}}, {}, {"load   %D/a.rxs  "}, {"0"}},
    {"LoadMissingFile", {}, {}, {}, {"load %D/none.rxs"}, {"53"}},
    {"LoadNotAScore", {}, {{"a.rxs", "hello"}}, {}, {"load %D/a.rxs"}, {"-1"}},
    // A failed load is kept as an empty entry: it reads as 0, not as an error.
    {"FailedLoadIsKept",
     {},
     {},
     {},
     {"load %D/none.rxs", "rootix= 5", "rootix=score 1", "rootix"},
     {"53", "rootix= 5", "rootix=score 1", "rootix", "0"}},
    {"LoadTakesRecordsFirst",
     {{6, 2.5}},
     {{"a.rxs", kValid}},
     {},
     {"load %D/a.rxs", "rootix=score 1", "rootix", "rootix=score 2", "rootix"},
     {"0", "rootix=score 1", "rootix", "2.5", "rootix=score 2", "rootix", "12.345"}},
    // Only "load", "save" and "showscore" turn records into scores.
    {"AccumulatorIndexRoundsHalfToEven",
     {{6, 1}, {7, 2}},
     {},
     {},
     {"rootix=test 1", "save %D/x.rxs 1", "rootix=test 1.5", "rootix", "rootix=test 2.5", "rootix", "rootix=test 0.5"},
     {"Error occured: 9.", "save %D/x.rxs 1", "0", "rootix=test 1.5", "rootix", "7", "rootix=test 2.5", "rootix", "7",
      "rootix=test 0.5", "Error occured: 9."}},
    {"AccumulatorSlotZero",
     {},
     {},
     {},
     {"rootix=score 0", "rootix=test 0"},
     {"Error occured: 9.", "rootix=test 0", "Error occured: 9."}},
    {"AccumulatorIndexPastTheEnd",
     {},
     {},
     {},
     {"rootix=test 70000", "rootix=score 1e10"},
     {"Error occured: 9.", "rootix=score 1e10", "Error occured: 6."}},
    {"AccumulatorWordNeedsSpace", {}, {}, {}, {"rootix=score1"}, {"Unregistered command"}},
};

INSTANTIATE_TEST_SUITE_P(Scores, ScoreCommands, ::testing::ValuesIn(kCommandCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScoreCommandEffects, LoadAppendsEvenWhenLoadingFailed) {
  ScoreShell shell;
  shell.writeFile("a.rxs", kValid);
  shell.run({"load %D/none.rxs", "load %D/a.rxs", "load %D"});
  ASSERT_EQ(shell.scores.count(), 3);
  EXPECT_EQ(shell.scores.at(1), Score());
  EXPECT_EQ(shell.scores.at(2), Score::Create(12.345, 6, sampleHardware()));
  EXPECT_EQ(shell.scores.at(3), Score());
}

TEST(ScoreCommandEffects, SaveWritesTheChosenEntry) {
  ScoreShell shell;
  shell.h.scoreBook.records().setRecord(6, 12.345);
  shell.h.scoreBook.records().setRecord(12, 3);
  EXPECT_EQ(shell.run({"save %D/out.rxs 1 2"}), QStringList{"0"});
  EXPECT_EQ(shell.readFile("out.rxs"), kValid);
  EXPECT_EQ(shell.scores.count(), 1);
  EXPECT_EQ(shell.h.scoreBook.records().getRecord(6), 0);
  EXPECT_EQ(shell.h.scoreBook.records().getRecord(12), 3);
}

TEST(ScoreCommandEffects, ReplaceAnsweredNoKeepsTheFile) {
  ScoreShell shell;
  shell.writeFile("out.rxs", "old");
  shell.h.scoreBook.records().setRecord(6, 1);
  shell.h.dialogs.answers = {false};
  shell.run({"save %D/out.rxs 1"});
  EXPECT_EQ(shell.readFile("out.rxs"), QByteArray("old"));
  EXPECT_EQ(shell.h.dialogs.shown, QStringList{shell.inDir("Save Score|Do you wish to replace %D/out.rxs?")});
}

}  // namespace
}  // namespace rootix::scores
