#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "platform/runtime_error.h"
#include "platform/text.h"
#include "score_test_support.h"
#include "scores/score.h"
#include "support/shell_harness.h"

namespace rootix::scores {
namespace {

using namespace testdata;

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

// A score already holding something, to show that failed loads change nothing.
Score filledScore() {
  HardwareSummary h;
  h.score_extra_cpu_string = QStringLiteral("Before");
  h.score_extra_cpu_count = QStringLiteral("4");
  return Score::Create(99.5, 3, h);
}

class ScoreFile : public ::testing::Test {
 protected:
  QString path(const QString& name) const { return dir.filePath(name); }
  QString write(const QString& name, const QByteArray& bytes) const {
    const QString p = path(name);
    writeFile(p, bytes);
    return p;
  }

  QTemporaryDir dir;
  rootix::testing::FakeDialogs dialogs;
};

TEST(ScoreCreate, CopiesSummaryAndStartsVisible207) {
  const Score s = Score::Create(12.5, 6, sampleHardware());
  EXPECT_EQ(s.score_score, 12.5);
  EXPECT_EQ(s.score_test, 6);
  EXPECT_EQ(s.hardware, sampleHardware());
  EXPECT_TRUE(s.score_visible);
  EXPECT_EQ(s.score_version, QStringLiteral("207"));
}

TEST(ScoreCreate, EmptySummaryGivesEmptyFields) {
  const Score s = Score::Create(1, 6, HardwareSummary{});
  EXPECT_EQ(s.hardware, HardwareSummary{});
  EXPECT_TRUE(s.score_visible);
}

TEST(ScoreCreate, TextsAFileCannotHoldBecomeStandIns) {
  HardwareSummary h;
  h.score_extra_cpu_string = QStringLiteral("Core\u2122 i7 \u00e9");  // trade mark sign is beyond one byte
  h.score_extra_mbModel = QStringLiteral("A\r\nB");                   // would split the line
  h.score_extra_memType = QString(QChar(0)) + u'x';
  const Score s = Score::Create(1, 6, h);
  EXPECT_EQ(s.hardware.score_extra_cpu_string, QStringLiteral("Core? i7 \u00e9"));
  EXPECT_EQ(s.hardware.score_extra_mbModel, QStringLiteral("A??B"));
  EXPECT_EQ(s.hardware.score_extra_memType, QStringLiteral("?x"));
}

TEST(ScoreText, PlainLayout) {
  EXPECT_EQ(Score::Create(12.345, 6, sampleHardware()).toString(true), sample207Lines().join(QStringLiteral("\r\n")));
}

TEST(ScoreText, TimeWrittenToThreeDecimalsHalfToEven) {
  for (const auto& [time, text] : {std::pair{12.3456, "12.346"}, {2.0005, "2"}, {2.0015, "2.002"}, {7.0, "7"}}) {
    const QStringList lines = Score::Create(time, 6, sampleHardware()).toString(true).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines[2], QLatin1String(text)) << time;
  }
}

TEST(ScoreText, ScrambledIsEveryCodeShifted) {
  const Score s = Score::Create(12.345, 6, sampleHardware());
  EXPECT_EQ(text::toSingleByte(s.toString(false)), scrambled(s.toString(true)));
}

TEST(ScoreText, Code255WrapsRound) {
  HardwareSummary h;
  h.score_extra_cpu_string = QStringLiteral("\u00ff");
  const QString plain = Score::Create(1, 6, h).toString(true);
  const QString coded = Score::Create(1, 6, h).toString(false);
  const qsizetype at = plain.indexOf(QChar(0xff));
  ASSERT_GE(at, 0);
  EXPECT_EQ(coded[at].unicode(), 7);
}

TEST(ScoreText, ReadFrom202IsWrittenAs207) {
  Score s;
  ASSERT_EQ(s.loadBytes(scoreFile(sample202Lines())).code(), Score::kLoaded);
  EXPECT_EQ(s.score_version, QStringLiteral("202"));
  const QStringList lines = s.toString(true).split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 23);
  EXPECT_EQ(lines[1], QStringLiteral("207"));
}

TEST_F(ScoreFile, RoundTripGivesEqualFields) {
  HardwareSummary h = sampleHardware();
  // Every single-byte code survives, 255 and the line-end codes included.
  for (int code = 1; code <= 255; ++code) h.score_extra_mbVendor += QChar(code);
  Score saved = Score::Create(12.3456, 11, h);
  saved.hardware.score_extra_mbVendor = h.score_extra_mbVendor;  // lone CR and LF kept
  ASSERT_EQ(saved.saveScore(path("s.rxs"), dialogs).code(), 0);
  EXPECT_TRUE(dialogs.shown.isEmpty());

  Score loaded;
  ASSERT_EQ(loaded.loadScore(path("s.rxs")).code(), Score::kLoaded);
  saved.score_score = 12.346;  // as written
  EXPECT_EQ(loaded, saved);
}

TEST_F(ScoreFile, EmptyScoreSavesAndLoads) {
  ASSERT_EQ(Score().saveScore(path("empty.rxs"), dialogs).code(), 0);
  Score loaded;
  EXPECT_EQ(loaded.loadScore(path("empty.rxs")).code(), Score::kLoaded);
  EXPECT_EQ(loaded.hardware, HardwareSummary{});
}

TEST_F(ScoreFile, WrittenFilesOfBothLayoutsLoad) {
  Score s207;
  ASSERT_EQ(s207.loadScore(write("a.rxs", scoreFile(sample207Lines()))).code(), Score::kLoaded);
  EXPECT_EQ(s207, Score::Create(12.345, 6, sampleHardware()));

  Score s202 = filledScore();
  ASSERT_EQ(s202.loadScore(write("b.rxs", scoreFile(sample202Lines()))).code(), Score::kLoaded);
  EXPECT_EQ(s202.score_version, QStringLiteral("202"));
  EXPECT_EQ(s202.score_score, 300.5);
  EXPECT_EQ(s202.score_test, 11);
  EXPECT_EQ(s202.hardware.score_extra_cpu_string, QStringLiteral("AMD Phenom II"));
  EXPECT_EQ(s202.hardware.score_extra_cpu_rev, QStringLiteral("C3"));
  EXPECT_EQ(s202.hardware.score_extra_cpu_clock, QStringLiteral("2400 MHz"));
  EXPECT_EQ(s202.hardware.score_extra_cpu_cache, QStringLiteral("6144 KB"));
  EXPECT_EQ(s202.hardware.score_extra_cpu_vcore, QString());
  EXPECT_EQ(s202.hardware.score_extra_cpu_count, QStringLiteral("4"));  // the older layout has none
  EXPECT_TRUE(s202.score_visible);
}

TEST_F(ScoreFile, ScoreReadFrom202SavesAFileThatLoads) {
  Score old;
  ASSERT_EQ(old.loadBytes(scoreFile(sample202Lines())).code(), Score::kLoaded);
  ASSERT_EQ(old.saveScore(path("again.rxs"), dialogs).code(), 0);
  Score again;
  ASSERT_EQ(again.loadScore(path("again.rxs")).code(), Score::kLoaded);
  EXPECT_EQ(again.score_version, QStringLiteral("207"));
  EXPECT_EQ(again.hardware, old.hardware);
  EXPECT_EQ(again.score_score, old.score_score);
}

// Each case edits the valid plain text; the loaded score must stay as it was
// whenever the result is not kLoaded.
struct TextCase {
  const char* name;
  std::function<QStringList(QStringList)> edit;
  int expected;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class ScoreTextRead : public ::testing::TestWithParam<TextCase> {};

TEST_P(ScoreTextRead, Result) {
  Score s = filledScore();
  const int result = s.loadBytes(scoreFile(GetParam().edit(sample207Lines()))).code();
  EXPECT_EQ(result, GetParam().expected);
  if (result != Score::kLoaded) {
    EXPECT_EQ(s, filledScore());
  }
}

QStringList set(QStringList lines, qsizetype i, const char* value) {
  lines[i] = QString::fromLatin1(value);
  return lines;
}

const TextCase kTextCases[] = {
    {"Valid", [](QStringList l) { return l; }, Score::kLoaded},
    {"MarkerIsCaseSensitive", [](QStringList l) { return set(l, 0, "rootix"); }, Score::kNotAScore},
    {"OtherMarkerWithVersion207", [](QStringList l) { return set(l, 0, "Benchmark"); }, Score::kNotAScore},
    {"UnknownVersion", [](QStringList l) { return set(l, 1, "208"); }, Score::kNotAScore},
    {"VersionWithSpace", [](QStringList l) { return set(l, 1, "207 "); }, Score::kNotAScore},
    {"Beta", [](QStringList l) { return set(l, 1, "beta"); }, Score::kUnsupportedVersion},
    {"BetaWithOtherMarker", [](QStringList l) { return set(set(l, 0, "x"), 1, "beta"); }, Score::kUnsupportedVersion},
    {"BetaIsCaseSensitive", [](QStringList l) { return set(l, 1, "Beta"); }, Score::kNotAScore},
    {"MarkerOnly", [](QStringList) { return QStringList{"Rootix"}; }, Score::kNotAScore},
    {"EditedTime", [](QStringList l) { return set(l, 2, "12.344"); }, Score::kChecksumMismatch},
    {"EditedTest", [](QStringList l) { return set(l, 3, "11"); }, Score::kChecksumMismatch},
    {"EditedClock", [](QStringList l) { return set(l, 17, "3100 MHz"); }, Score::kChecksumMismatch},
    {"ChecksumIsCaseSensitive", [](QStringList l) { return set(l, 21, "badad7f5"); }, Score::kChecksumMismatch},
    // Only the leading number of the clock counts; the rest of a field is free.
    {"ClockUnitNotCovered", [](QStringList l) { return set(l, 17, "3000 GHz"); }, Score::kLoaded},
    {"EditedMemoryNotCovered", [](QStringList l) { return set(l, 4, "DDR5"); }, Score::kLoaded},
    {"TimeWithMoreDigitsThanWritten", [](QStringList l) { return set(l, 2, "12.3450"); }, Score::kLoaded},
    {"TenLines", [](QStringList l) { return l.mid(0, 10); }, kSubscriptOutOfRange},
    {"NoChecksumLine", [](QStringList l) { return l.mid(0, 21); }, kSubscriptOutOfRange},
    {"EndMarkerNotChecked", [](QStringList l) { return l.mid(0, 22); }, Score::kLoaded},
    {"LinesAfterEndIgnored",
     [](QStringList l) {
       return l << "more"
                << "";
     },
     Score::kLoaded},
    {"TestBeyond16Bits", [](QStringList l) { return set(l, 3, "40000"); }, kOverflow},
    {"NegativeTest", [](QStringList l) { return set(l, 3, "-6"); }, kInvalidProcedureCall},
    {"TimeBeyondDouble", [](QStringList l) { return set(l, 2, "1e400"); }, kOverflow},
    {"LfLineEnds", [](QStringList l) { return QStringList{l.join(u'\n')}; }, Score::kNotAScore},
};

INSTANTIATE_TEST_SUITE_P(Scores, ScoreTextRead, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScoreTextRead202, TooFewLinesAndBadChecksum) {
  Score s = filledScore();
  EXPECT_EQ(s.loadBytes(scoreFile(sample202Lines().mid(0, 20))).code(), kSubscriptOutOfRange);
  EXPECT_EQ(s.loadBytes(scoreFile(set(sample202Lines(), 2, "300.4"))).code(), Score::kChecksumMismatch);
  // The 202 reader takes the clock from line 16, not 17.
  EXPECT_EQ(s.loadBytes(scoreFile(set(sample202Lines(), 17, "9999 MHz"))).code(), Score::kLoaded);
  EXPECT_EQ(s.loadBytes(scoreFile(set(sample202Lines(), 16, "2500 MHz"))).code(), Score::kChecksumMismatch);
}

// Bytes that are no score file at all, read from a file and directly.
struct BytesCase {
  const char* name;
  std::function<QByteArray()> bytes;
  int expected;
};

void PrintTo(const BytesCase& c, std::ostream* os) { *os << c.name; }

class ScoreFileBytes : public ScoreFile, public ::testing::WithParamInterface<BytesCase> {};

TEST_P(ScoreFileBytes, Result) {
  const QByteArray bytes = GetParam().bytes();
  Score fromFile = filledScore();
  EXPECT_EQ(fromFile.loadScore(write("in.rxs", bytes)).code(), GetParam().expected);
  Score fromBytes = filledScore();
  EXPECT_EQ(fromBytes.loadBytes(bytes).code(), GetParam().expected);
  if (GetParam().expected != Score::kLoaded) {
    EXPECT_EQ(fromFile, filledScore());
    EXPECT_EQ(fromBytes, filledScore());
  }
}

QByteArray valid() { return scoreFile(sample207Lines()); }

// A valid file grown to exactly `size` bytes with lines after the end marker.
QByteArray paddedTo(qsizetype size) {
  QByteArray bytes = valid() + scrambled(QStringLiteral("\r\n"));
  bytes += QByteArray(size - bytes.size(), 'x');
  return bytes;
}

QByteArray randomBytes() {
  QByteArray out;
  uint32_t x = 12345;
  for (int i = 0; i < 4000; ++i) {
    x = x * 1103515245u + 12345u;
    out += static_cast<char>(1 + (x >> 16) % 255);
  }
  return out;
}

const BytesCase kByteCases[] = {
    {"Valid", valid, Score::kLoaded},
    {"Empty", [] { return QByteArray(); }, Score::kNotAScore},
    {"RandomBytes", randomBytes, Score::kNotAScore},
    {"TruncatedInsideTheFields", [] { return valid().left(100); }, kSubscriptOutOfRange},
    {"TruncatedInsideTheChecksum", [] { return valid().left(valid().indexOf(scrambled("BADAD7F5")) + 4); },
     Score::kChecksumMismatch},
    {"TruncatedInsideTheMarker", [] { return valid().left(3); }, Score::kNotAScore},
    {"NotScrambled", [] { return sample207Lines().join(QStringLiteral("\r\n")).toLatin1(); }, Score::kNotAScore},
    {"NulByteAtTheEnd", [] { return valid() + QByteArray(1, '\0'); }, Score::kNotAScore},
    {"NulByteInAField", [] { return QByteArray(valid()).replace(scrambled("DDR4"), QByteArray("DD\0R", 4)); },
     Score::kNotAScore},
    {"Exactly64KiB", [] { return paddedTo(Score::kMaxFileBytes); }, Score::kLoaded},
    {"Over64KiB", [] { return paddedTo(Score::kMaxFileBytes + 1); }, Score::kNotAScore},
};

INSTANTIATE_TEST_SUITE_P(Scores, ScoreFileBytes, ::testing::ValuesIn(kByteCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScoreFile, HugeFileIsRefusedBeforeReading) {
  // Sparse: large on paper, nothing to read. Reading it whole would take 1 GiB.
  const QString p = path("huge.rxs");
  QFile f(p);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_TRUE(f.resize(qint64{1} << 30));
  f.close();
  Score s = filledScore();
  EXPECT_EQ(s.loadScore(p).code(), Score::kNotAScore);
  EXPECT_EQ(s, filledScore());
}

// Paths that lead to no readable file.
struct PathCase {
  const char* name;
  std::function<QString(const QDir&)> make;
  int expected;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class ScoreFilePath : public ScoreFile, public ::testing::WithParamInterface<PathCase> {};

TEST_P(ScoreFilePath, LoadReturnsErrorNumber) {
  Score s = filledScore();
  EXPECT_EQ(s.loadScore(GetParam().make(QDir(dir.path()))).code(), GetParam().expected);
  EXPECT_EQ(s, filledScore());
}

const PathCase kPathCases[] = {
    {"Missing", [](const QDir& d) { return d.filePath("none.rxs"); }, kFileNotFound},
    {"MissingFolder", [](const QDir& d) { return d.filePath("nowhere/none.rxs"); }, kPathNotFound},
    {"Directory", [](const QDir& d) { return d.path(); }, kPathFileAccessError},
    {"FileUsedAsFolder",
     [](const QDir& d) {
       writeFile(d.filePath("plain"), "x");
       return d.filePath("plain/score.rxs");
     },
     kPathNotFound},
    {"EmptyPath", [](const QDir&) { return QString(); }, kBadFileName},
};

INSTANTIATE_TEST_SUITE_P(Scores, ScoreFilePath, ::testing::ValuesIn(kPathCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScoreFile, UnreadableFileIsPermissionDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  const QString p = write("locked.rxs", valid());
  ASSERT_EQ(::chmod(QFile::encodeName(p).constData(), 0), 0);
  Score s = filledScore();
  EXPECT_EQ(s.loadScore(p).code(), kPermissionDenied);
  EXPECT_EQ(s, filledScore());
}

TEST_F(ScoreFile, ReplaceAnsweredNoLeavesTheFile) {
  const QString p = write("keep.rxs", "old contents");
  dialogs.answers = {false};
  EXPECT_EQ(Score::Create(1, 6, sampleHardware()).saveScore(p, dialogs).code(), kFileAlreadyExists);
  EXPECT_EQ(dialogs.shown, QStringList{"Save Score|Do you wish to replace " + p + "?"});
  EXPECT_EQ(readFile(p), QByteArray("old contents"));
}

TEST_F(ScoreFile, ReplaceAnsweredYesWritesTheScore) {
  const QString p = write("old.rxs", "old contents");
  dialogs.answers = {true};
  const Score s = Score::Create(12.345, 6, sampleHardware());
  EXPECT_EQ(s.saveScore(p, dialogs).code(), 0);
  EXPECT_EQ(dialogs.shown.size(), 1);
  EXPECT_EQ(readFile(p), valid());
}

TEST_F(ScoreFile, SaveFailuresReturnErrorNumbers) {
  const Score s = Score::Create(1, 6, sampleHardware());
  EXPECT_GT(s.saveScore(path("no/such/folder/s.rxs"), dialogs).code(), 0);
  EXPECT_GT(s.saveScore(dir.path(), dialogs).code(), 0);
  EXPECT_TRUE(QFileInfo(dir.path()).isDir());
  EXPECT_TRUE(dialogs.shown.isEmpty());
}

}  // namespace
}  // namespace rootix::scores
