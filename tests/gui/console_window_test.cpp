#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include "console/console.h"
#include "console/transcript.h"
#include "gui/console_window.h"
#include "support/shell_harness.h"

namespace rootix::gui {
namespace {

class ConsoleWindowTest : public ::testing::Test {
 protected:
  ConsoleWindow window{QStringLiteral("Rootix Benchmark v2.11")};
  testing::CaptureSink sink;
  console::Console console{window, sink};
};

TEST_F(ConsoleWindowTest, TypedLineSitsAfterThePromptAndIsMirrored) {
  console.PrintLn(QStringLiteral("Welcome"));
  QTimer::singleShot(50, &window, [this] {
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.input()->isVisible());
    QTest::keyClicks(window.input(), QStringLiteral(" echo hi "));
    QTest::keyClick(window.input(), Qt::Key_Return);
  });
  EXPECT_EQ(console.getInput(), QStringLiteral(" echo hi "));
  EXPECT_FALSE(window.input()->isVisible());
  EXPECT_EQ(window.output()->toPlainText(), QStringLiteral("Welcome\n> echo hi \n"));
  EXPECT_EQ(sink.data, QByteArray("Welcome\n echo hi \n"));
}

TEST_F(ConsoleWindowTest, EmptyEnterGivesEmptyLineAndWindowVisibilityIsRestored) {
  window.hide();
  QTimer::singleShot(50, &window, [this] { QTest::keyClick(window.input(), Qt::Key_Return); });
  EXPECT_EQ(console.getInput(), QString());
  EXPECT_FALSE(window.isVisible());
}

TEST_F(ConsoleWindowTest, ClearingShowsInTheWindow) {
  console.PrintLn(QString(console::Transcript::kLimit, u'x'));
  console.PrintLn(QStringLiteral("after"));
  EXPECT_EQ(window.output()->toPlainText(), QStringLiteral("Clearing console\nafter\n"));
}

TEST_F(ConsoleWindowTest, ClosingTheWindowAsksToExit) {
  int closes = 0;
  window.onClose = [&closes] { ++closes; };
  window.show();
  window.close();
  EXPECT_EQ(closes, 1);
}

// A run's lines are its result: a screen reader reads them as text, and Tab
// from the command line reaches them (a click still lands in the command).
TEST_F(ConsoleWindowTest, TheTranscriptIsReadableText) {
  console.PrintLn(QStringLiteral("Time taken: 1.234 seconds"));
  QAccessibleInterface* transcript = QAccessible::queryAccessibleInterface(window.output());
  ASSERT_NE(transcript, nullptr);
  EXPECT_EQ(transcript->text(QAccessible::Name), QStringLiteral("Transcript"));
  ASSERT_NE(transcript->textInterface(), nullptr);
  EXPECT_TRUE(transcript->textInterface()
                  ->text(0, transcript->textInterface()->characterCount())
                  .contains(u"Time taken: 1.234 seconds"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(window.input())->text(QAccessible::Name), QStringLiteral("Command"));
  EXPECT_TRUE(window.output()->textInteractionFlags() & Qt::TextSelectableByKeyboard);

  window.show();
  QApplication::setActiveWindow(&window);
  window.beginInput();
  window.output()->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(QApplication::focusWidget(), window.input());
  window.output()->setFocus(Qt::BacktabFocusReason);
  EXPECT_EQ(QApplication::focusWidget(), window.output());
  window.endInput();
}

}  // namespace
}  // namespace rootix::gui
