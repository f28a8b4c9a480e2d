#include "app/run_record.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/json_lines.h"
#include "app/repeat_runs.h"
#include "app/run_completion.h"
#include "app/run_record_commands.h"
#include "support/shell_harness.h"

namespace rootix::app {
namespace {

struct CountCase {
  const char* text;
  std::optional<int> expected;
};

TEST(RepeatCount, OnlyPlainCountsFromOneToTheLimit) {
  const CountCase cases[] = {{"5", 5},
                             {"1", 1},
                             {"1000", 1000},
                             {"0", std::nullopt},
                             {"-1", std::nullopt},
                             {"abc", std::nullopt},
                             {"1000000000", std::nullopt},
                             {"1001", std::nullopt},
                             {"", std::nullopt},
                             {"5x", std::nullopt},
                             {"2.5", std::nullopt},
                             {"99999999999999", std::nullopt}};
  for (const CountCase& c : cases) EXPECT_EQ(parseRepeatCount(QString::fromLatin1(c.text)), c.expected) << c.text;
}

TEST(RepeatRuns, SpreadLine) {
  EXPECT_EQ(spreadLine(6, {0.104, 0.102, 0.109, 0.103, 0.105}),
            QStringLiteral("32M: 5 runs, best 0.102 s, median 0.104 s, worst 0.109 s, spread 6.9 %"));
  // An even count takes the middle two; one run is one run.
  EXPECT_EQ(spreadLine(11, {2.0, 1.0, 4.0, 3.0}),
            QStringLiteral("1024M: 4 runs, best 1.000 s, median 2.500 s, worst 4.000 s, spread 300.0 %"));
  EXPECT_EQ(spreadLine(1, {0.5}),
            QStringLiteral("1M: 1 run, best 0.500 s, median 0.500 s, worst 0.500 s, spread 0.0 %"));
}

TEST(RepeatRuns, SeriesStopsAtARunWithErrors) {
  RepeatRuns r;
  r.start(6, 4);
  const engine::RunResult good{6, false, false, 1.0};
  const engine::RunResult bad{6, false, true, 0.5};
  const engine::RunResult warmUp{-5, true, false, 0.01};
  EXPECT_EQ(r.runEnded(warmUp), RepeatRuns::Next::NotRepeating);
  EXPECT_EQ(r.runEnded(good), RepeatRuns::Next::Again);
  EXPECT_EQ(r.runEnded(bad), RepeatRuns::Next::Done);
  EXPECT_FALSE(r.active());
  EXPECT_EQ(r.summary(), QStringList({QStringLiteral("Repeat stopped: run 2 of 4 reported errors."),
                                      QStringLiteral("32M: 1 run, best 1.000 s, median 1.000 s, worst 1.000 s, "
                                                     "spread 0.0 %")}));
  EXPECT_EQ(r.runEnded(good), RepeatRuns::Next::NotRepeating);
}

// Where records may go: a regular file, created when missing; nothing else.
TEST(JsonLinesFile, RefusesWhatIsNoRegularFile) {
  QTemporaryDir dir;
  const QString fifo = dir.filePath(QStringLiteral("fifo"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  struct PathCase {
    QString path;
    const char* why;  // empty: accepted
  };
  const PathCase cases[] = {
      {dir.filePath(QStringLiteral("runs.jsonl")), ""},
      {dir.filePath(QStringLiteral("with space.jsonl")), ""},
      {dir.path(), "it is a folder"},
      {fifo, "it is not a regular file"},
      {QStringLiteral("/dev/full"), "it is not a regular file"},
      {dir.filePath(QStringLiteral("missing/runs.jsonl")), "No such file or directory"},
      {QString(), "no file named"},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(JsonLinesFile::check(c.path).failure().text, QString::fromLatin1(c.why)) << c.path.toStdString();
  }
  EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("runs.jsonl")))) << "created by the check";
}

TEST(JsonLinesFile, AppendsOneLinePerRecord) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("runs.jsonl"));
  EXPECT_TRUE(JsonLinesFile::append(path, R"({"a":1})"));
  EXPECT_TRUE(JsonLinesFile::append(path, R"({"a":2})"));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("{\"a\":1}\n{\"a\":2}\n"));
  EXPECT_EQ(JsonLinesFile::append(QStringLiteral("/dev/full"), "{}").failure().text,
            QStringLiteral("it is not a regular file"));
}

engine::RunResult runOf(int threads, double seconds, double startup = 0) {
  engine::RunResult r{6, false, false, seconds};
  r.numbers = 33554432;
  r.startupSeconds = startup;
  for (int i = 1; i <= threads; ++i) r.workers.push_back({static_cast<int16_t>(i), 0, 1, seconds, i - 1});
  return r;
}

TEST(ConditionWarnings, EachSpoilingCondition) {
  struct WarningCase {
    const char* name;
    std::function<void(engine::RunConditions&)> set;
    engine::RunResult run;
    QString expected;  // empty: no warning
  };
  const WarningCase cases[] = {
      {"calm", [](auto&) {}, runOf(4, 1.0), {}},
      {"powersave", [](auto& c) { c.governor = QStringLiteral("powersave"); }, runOf(4, 1.0),
       QStringLiteral("The processor's governor is \"powersave\": its clock may stay low during the run.")},
      {"performance governor", [](auto& c) { c.governor = QStringLiteral("performance"); }, runOf(4, 1.0), {}},
      {"load at a tenth", [](auto& c) { c.loadBefore = 0.4; }, runOf(4, 1.0), {}},
      {"load above a tenth", [](auto& c) { c.loadBefore = 0.41; }, runOf(4, 1.0),
       QStringLiteral(
           "The load before the run was 0.41, more than a tenth of the 4 threads: other programs were busy.")},
      {"steal", [](auto& c) { c.stealPercent = 2.25; }, runOf(4, 1.0),
       QStringLiteral("The hypervisor took 2.3 % of the processor time during the run (steal time).")},
      {"steal of one percent", [](auto& c) { c.stealPercent = 1; }, runOf(4, 1.0), {}},
      {"clock drop",
       [](auto& c) {
         c.addClock(3000);
         c.addClock(2600);
       },
       runOf(4, 1.0), QStringLiteral("The clock dropped by more than a tenth during the run (from 3000 to 2600 MHz).")},
      {"clock steady",
       [](auto& c) {
         c.addClock(3000);
         c.addClock(2750);
       },
       runOf(4, 1.0),
       {}},
      {"slow start", [](auto&) {}, runOf(64, 0.02, 0.005),
       QStringLiteral("Starting the 64 workers took 0.005 s of the run's 0.020 s: this time measures thread start-up, "
                      "not the processor.")},
  };
  for (const WarningCase& c : cases) {
    engine::RunConditions conditions;
    c.set(conditions);
    const QStringList warnings = conditionWarnings(c.run, conditions);
    EXPECT_EQ(warnings, c.expected.isEmpty() ? QStringList() : QStringList{c.expected}) << c.name;
  }
}

// A recorded machine: a hybrid-less KVM guest with cpufreq.
class RecordedMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    write(QStringLiteral("proc/cpuinfo"),
          "processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu family\t: 25\nmodel\t\t: 33\n"
          "model name\t: AMD Ryzen 7 5800X 8-Core Processor\nstepping\t: 2\nmicrocode\t: 0xa201016\n"
          "cpu MHz\t\t: 3800.000\nflags\t\t: fpu sse2 hypervisor\n\nprocessor\t: 1\nvendor_id\t: AuthenticAMD\n");
    write(QStringLiteral("proc/meminfo"), "MemTotal:       16384000 kB\nMemFree:  1 kB\n");
    write(QStringLiteral("proc/loadavg"), "0.05 0.10 0.20 1/100 1234\n");
    write(QStringLiteral("proc/stat"), "cpu  100 0 100 700 0 0 0 100 0 0\ncpu0 1 1 1 1\n");
    write(QStringLiteral("proc/sys/kernel/osrelease"), "6.1.0-test\n");
    write(QStringLiteral("sys/devices/system/cpu/cpu0/cpufreq/scaling_governor"), "powersave\n");
    write(QStringLiteral("sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq"), "3600000\n");
    write(QStringLiteral("sys/devices/system/cpu/cpu1/cpufreq/scaling_cur_freq"), "3400000\n");
  }
  void write(const QString& relative, const QByteArray& bytes) {
    const QString path = root.filePath(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }
  QTemporaryDir root;
};

TEST_F(RecordedMachine, RecordCarriesTheRunAndItsConditions) {
  const engine::ConditionSource source(root.path());
  QStringList warned;
  QStringList errors;
  RunRecorder recorder(RunRecorder::Services{.warn = [&](const QString& w) { warned << w; },
                                             .error = [&](const QString& e) { errors << e; },
                                             .codename = {},  // our own table
                                             .source = &source});
  const QString path = root.filePath(QStringLiteral("runs.jsonl"));
  EXPECT_TRUE(recorder.setPath(path));
  EXPECT_EQ(recorder.setPath(root.path()).failure().text, QStringLiteral("it is a folder"));
  EXPECT_EQ(recorder.path(), path) << "a refused path leaves the earlier one";

  recorder.runStarting(engine::RunStart{6, false, false, false, 2, "AVX2/fma", true});
  write(QStringLiteral("proc/stat"), "cpu  150 0 150 780 0 0 0 120 0 0\n");
  engine::RunResult run = runOf(2, 0.5);
  recorder.runEnded(run);
  // The warm-up run is never recorded.
  recorder.runStarting(engine::RunStart{-5, true, false, false, 2, "AVX2/fma", true});
  recorder.runEnded(engine::RunResult{-5, true, false, 0.01});

  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = f.readAll().split('\n');
  ASSERT_EQ(lines.size(), 2) << "one line and the final line feed";
  const QJsonObject record = QJsonDocument::fromJson(lines[0]).object();
  EXPECT_EQ(record[QStringLiteral("schema_version")].toInt(), 1);
  EXPECT_EQ(record[QStringLiteral("run_id")].toString().size(), 32);
  EXPECT_EQ(record[QStringLiteral("test")].toInt(), 6);
  EXPECT_EQ(record[QStringLiteral("threads")].toInt(), 2);
  EXPECT_EQ(record[QStringLiteral("quick_mode")].toBool(true), false);
  EXPECT_EQ(record[QStringLiteral("workers")].toArray().size(), 2);
  EXPECT_EQ(record[QStringLiteral("kernel")].toString(), QStringLiteral("AVX2/fma"));
  EXPECT_EQ(record[QStringLiteral("kernel_choice")].toString(), QStringLiteral("forced"));
  const QJsonObject c = record[QStringLiteral("conditions")].toObject();
  EXPECT_EQ(c[QStringLiteral("processor")].toString(), QStringLiteral("AMD Ryzen 7 5800X 8-Core Processor"));
  EXPECT_EQ(c[QStringLiteral("family")].toInt(), 25);
  EXPECT_EQ(c[QStringLiteral("model")].toInt(), 33);
  EXPECT_EQ(c[QStringLiteral("microcode")].toString(), QStringLiteral("0xa201016"));
  EXPECT_EQ(c[QStringLiteral("codename")].toString(), QStringLiteral("Vermeer"));
  EXPECT_EQ(c[QStringLiteral("governor")].toString(), QStringLiteral("powersave"));
  EXPECT_EQ(c[QStringLiteral("mhz_avg")].toDouble(), 3500);
  EXPECT_EQ(c[QStringLiteral("load_before")].toDouble(), 0.05);
  // 20 of 200 ticks went to other guests.
  EXPECT_DOUBLE_EQ(c[QStringLiteral("steal_percent")].toDouble(), 10);
  EXPECT_EQ(c[QStringLiteral("memory_mb")].toDouble(), 16000);
  EXPECT_EQ(c[QStringLiteral("kernel_release")].toString(), QStringLiteral("6.1.0-test"));
  EXPECT_EQ(record[QStringLiteral("warnings")].toArray().size(), 2) << "powersave and steal";
  EXPECT_EQ(warned.size(), 2);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(RecordedMachine, AFailedWriteIsSaidAndTheRunIsKept) {
  const engine::ConditionSource source(root.path());
  QStringList errors;
  RunRecorder recorder(RunRecorder::Services{
      .warn = {}, .error = [&](const QString& e) { errors << e; }, .codename = {}, .source = &source});
  const QString path = root.filePath(QStringLiteral("runs.jsonl"));
  ASSERT_TRUE(recorder.setPath(path));
  // The file turns into a folder between the choice and the run.
  QFile::remove(path);
  QDir().mkpath(path);
  recorder.runStarting(engine::RunStart{6, false, false, false, 1, "SSE2/divide", false});
  recorder.runEnded(runOf(1, 0.5));
  EXPECT_EQ(errors, QStringList{QStringLiteral("The run record could not be written to ") + path +
                                QStringLiteral(": it is a folder.")});
  ASSERT_TRUE(recorder.lastRecord().has_value());
  EXPECT_EQ((*recorder.lastRecord())[QStringLiteral("seconds")].toDouble(), 0.5);
}

TEST(SubmissionConditions, AsciiWithoutWorkers) {
  engine::RunConditions c;
  c.machine.processor = QStringLiteral("Prozessor \u00e9\u4e2d");
  const QJsonObject record = makeRunRecord(runOf(2, 1.0), c, {}, RecordMeta{});
  const QByteArray text = conditionsForSubmission(record);
  for (char ch : text) EXPECT_GE(static_cast<unsigned char>(ch), 0x20) << "printable ASCII";
  for (char ch : text) EXPECT_LT(static_cast<unsigned char>(ch), 0x80);
  EXPECT_TRUE(text.contains("Prozessor \\u00e9\\u4e2d"));
  const QJsonObject back = QJsonDocument::fromJson(text).object();
  EXPECT_FALSE(back.contains(QStringLiteral("workers")));
  EXPECT_EQ(back[QStringLiteral("conditions")].toObject()[QStringLiteral("processor")].toString(), c.machine.processor);
}

}  // namespace
}  // namespace rootix::app

namespace rootix::app {
namespace {

// "json" and "repeat" as typed, bad input included: each a clear line, and
// nothing starts that should not.
TEST(RunRecordCommands, TypedLines) {
  QTemporaryDir dir;
  const QString good = dir.filePath(QStringLiteral("my runs.jsonl"));
  testing::ShellHarness h;
  RunRecorder recorder(RunRecorder::Services{});
  RunCompletion completion(h.interp, QString(), false);
  QList<int> started;
  registerRunRecordCommands(h.interp.commands(), h.console, recorder, completion,
                            [&started](int16_t test) { started << test; });
  const QStringList lines =
      h.run({QStringLiteral("json"), QStringLiteral("json ") + good, QStringLiteral("json /dev/full"),
             QStringLiteral("json ") + dir.path(), QStringLiteral("json"), QStringLiteral("json off"),
             QStringLiteral("repeat"), QStringLiteral("repeat 5"), QStringLiteral("repeat 0 6"),
             QStringLiteral("repeat -1 6"), QStringLiteral("repeat abc 6"), QStringLiteral("repeat 1000000000 6"),
             QStringLiteral("repeat 2 17"), QStringLiteral("repeat 3 6")});
  const QStringList said = lines.filter(QRegularExpression(QStringLiteral("^(?!json|repeat|exit)")));
  EXPECT_EQ(said,
            (QStringList{
                QStringLiteral("Run records are off."),
                QStringLiteral("Run records go to: ") + good,
                QStringLiteral("Cannot write run records to '/dev/full': it is not a regular file."),
                QStringLiteral("Cannot write run records to '") + dir.path() + QStringLiteral("': it is a folder."),
                QStringLiteral("Run records go to: ") + good,
                QStringLiteral("Run records are off."),
                QStringLiteral("Syntax: repeat <count> <test>"),
                QStringLiteral("Syntax: repeat <count> <test>"),
                QStringLiteral("Invalid repeat count '0': give a whole number of runs from 1 to 1000."),
                QStringLiteral("Invalid repeat count '-1': give a whole number of runs from 1 to 1000."),
                QStringLiteral("Invalid repeat count 'abc': give a whole number of runs from 1 to 1000."),
                QStringLiteral("Invalid repeat count '1000000000': give a whole number of runs from 1 to 1000."),
                QStringLiteral("Invalid test"),
            }));
  EXPECT_EQ(started, QList<int>{6});
  EXPECT_TRUE(completion.repeat().active());
}

}  // namespace
}  // namespace rootix::app
