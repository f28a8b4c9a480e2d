#include <gtest/gtest.h>

#include <unistd.h>

#include <QElapsedTimer>
#include <thread>

#include "console/console.h"
#include "console/terminal_face.h"
#include "console/transcript.h"
#include "platform/events.h"
#include "support/shell_harness.h"

namespace rootix::console {
namespace {

TEST(TranscriptLimit, ClearsOnlyFromTheLimitOn) {
  for (const qsizetype size : {Transcript::kLimit - 1, Transcript::kLimit}) {
    Transcript t;
    t.appendText(QString(size, u'x'));
    const bool cleared = t.appendLine(QStringLiteral("next"));
    EXPECT_EQ(cleared, size >= Transcript::kLimit);
    if (cleared) {
      EXPECT_EQ(t.text(), QStringLiteral("Clearing console\r\nnext\r\n"));
    } else {
      EXPECT_TRUE(t.text().endsWith(QStringLiteral("xnext\r\n")));
    }
  }
}

TEST(ConsoleMirror, EmbeddedLineBreaksEndInLineFeeds) {
  testing::ScriptedFace face;
  testing::CaptureSink sink;
  Console console(face, sink);
  console.PrintLn(QStringLiteral("CPU Found: CPU0\r\nName:     x\r\n"));
  EXPECT_EQ(sink.data, QByteArray("CPU Found: CPU0\nName:     x\n\n"));
  EXPECT_TRUE(console.transcript().text().startsWith(QStringLiteral("CPU Found: CPU0\r\n")));
}

TEST(ConsoleInput, PendingLineReturnsAtOnceWithoutPrompt) {
  testing::ScriptedFace face;
  testing::CaptureSink sink;
  Console console(face, sink, MirrorMode::Terminal);
  console.setPendingInput(QStringLiteral("exit"));
  EXPECT_EQ(console.getInput(), QStringLiteral("exit"));
  EXPECT_FALSE(console.transcript().text().contains(u'>'));
  EXPECT_TRUE(console.pendingInput().isEmpty());
}

TEST(ConsoleInput, PromptAndTypedTextShareOneTranscriptLine) {
  testing::ScriptedFace face;
  face.lines = {QStringLiteral("  padded  ")};
  testing::CaptureSink sink;
  Console console(face, sink);
  EXPECT_EQ(console.getInput(), QStringLiteral("  padded  "));
  EXPECT_EQ(console.transcript().text(), QStringLiteral(">  padded  \r\n"));
}

TEST(ConsoleMirror, WhatStandardOutputCarries) {
  struct Case {
    MirrorMode mode;
    QByteArray expected;
  };
  // Lines: exactly the printed lines. Terminal: the prompt too. Echoed: the
  // terminal already shows the typed text.
  const Case cases[] = {
      {MirrorMode::Lines, "hello\nls\n"},
      {MirrorMode::Terminal, "hello\n>ls\n"},
      {MirrorMode::TerminalEchoed, "hello\n>"},
  };
  for (const Case& c : cases) {
    testing::ScriptedFace face;
    face.lines = {QStringLiteral("ls")};
    testing::CaptureSink sink;
    Console console(face, sink, c.mode);
    console.PrintLn(QStringLiteral("hello"));
    console.getInput();
    EXPECT_EQ(sink.data, c.expected) << static_cast<int>(c.mode);
  }
}

class PipeFace : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::pipe(fds_), 0); }
  void TearDown() override {
    if (fds_[1] >= 0) ::close(fds_[1]);
    face_.reset();
    ::close(fds_[0]);
  }
  void write(const QByteArray& bytes) { ASSERT_EQ(::write(fds_[1], bytes.constData(), bytes.size()), bytes.size()); }
  void closeWriter() {
    ::close(fds_[1]);
    fds_[1] = -1;
  }
  QString next() {
    EXPECT_TRUE(platform::waitUntil([this] { return face_->lineReady(); }, 10, 5000));
    return face_->takeLine();
  }
  int fds_[2] = {-1, -1};
  std::unique_ptr<TerminalFace> face_;
};

TEST_F(PipeFace, SplitsLinesAndEndsWithExit) {
  face_ = std::make_unique<TerminalFace>(fds_[0]);
  write(QByteArray("one\r\ntwo\n\nbad \xff\xfe end\nnul ") + QByteArray(1, '\0') + QByteArray(" x\nlast"));
  closeWriter();
  EXPECT_EQ(next(), QStringLiteral("one"));
  EXPECT_EQ(next(), QStringLiteral("two"));
  EXPECT_EQ(next(), QString());
  EXPECT_EQ(next(), QStringLiteral("bad \uFFFD\uFFFD end"));
  EXPECT_EQ(next(), QStringLiteral("nul ") + QChar(0) + QStringLiteral(" x"));
  EXPECT_EQ(next(), QStringLiteral("last"));
  EXPECT_EQ(next(), QStringLiteral("exit"));
  EXPECT_EQ(next(), QStringLiteral("exit"));
}

TEST_F(PipeFace, OverlongLineIsCutNotKeptWhole) {
  face_ = std::make_unique<TerminalFace>(fds_[0]);
  std::thread writer([this] {
    write(QByteArray(TerminalFace::kMaxLine + 1000, 'a') + "\nok\n");
    closeWriter();
  });
  EXPECT_EQ(next().size(), TerminalFace::kMaxLine);
  EXPECT_EQ(next(), QStringLiteral("ok"));
  writer.join();
}

TEST_F(PipeFace, StopsCleanlyWhileInputStaysOpen) {
  face_ = std::make_unique<TerminalFace>(fds_[0]);
  QElapsedTimer timer;
  timer.start();
  face_.reset();  // the reader is blocked on an open, silent pipe
  EXPECT_LT(timer.elapsed(), 2000);
}

TEST(TerminalQuestion, YesOnlyForYes) {
  const std::pair<const char*, bool> cases[] = {
      {"y", true}, {" YES ", true}, {"n", false}, {"", false}, {"maybe", false}};
  for (const auto& [answer, expected] : cases) {
    testing::ScriptedFace face;
    face.lines = {QString::fromUtf8(answer)};
    testing::CaptureSink sink;
    TerminalDialogs dialogs(face, sink);
    EXPECT_EQ(dialogs.askYesNo(QStringLiteral("Replace?"), QStringLiteral("Save Score")), expected) << answer;
    EXPECT_EQ(sink.data, QByteArray("Save Score: Replace? [y/N] "));
  }
}

// Read by a script, the question is a line of its own: the next printed line
// must not be glued to it.
TEST(TerminalQuestion, EndsItsLineWhenOutputIsNoTerminal) {
  const std::pair<bool, const char*> cases[] = {{false, "Q: Replace? [y/N] "}, {true, "Q: Replace? [y/N]\n"}};
  for (const auto& [endLine, expected] : cases) {
    testing::ScriptedFace face;
    face.lines = {QStringLiteral("y")};
    testing::CaptureSink sink;
    TerminalDialogs dialogs(face, sink, endLine);
    EXPECT_TRUE(dialogs.askYesNo(QStringLiteral("Replace?"), QStringLiteral("Q")));
    EXPECT_EQ(sink.data, QByteArray(expected));
  }
}

}  // namespace
}  // namespace rootix::console
