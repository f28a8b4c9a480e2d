#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/app_fakes.h"
#include "app/controller.h"
#include "gui/button_label.h"
#include "gui/console_window.h"
#include "gui/graphical_window.h"
#include "platform/events.h"
#include "support/shell_harness.h"

namespace rootix::app {
namespace {

using namespace rootix::testing;

// What the screen shows at one moment of start-up.
struct Screen {
  bool windowShown = false;
  bool consoleShown = false;
  bool loadingShown = false;
  bool spinning = false;
  bool operator==(const Screen&) const = default;
};

// Mirrored output, with a look at the screen whenever a line is written.
class WatchingSink : public console::OutputSink {
 public:
  std::function<void(const QByteArray&)> onWrite;
  void write(const QByteArray& bytes) override {
    if (onWrite) onWrite(bytes);
  }
};

// Start-up leaves files in the temporary folder that a later start reads;
// each shell gets its own.
struct PrivateTempFolder {
  PrivateTempFolder() : saved(qgetenv("TMPDIR")) { qputenv("TMPDIR", QFile::encodeName(dir.path())); }
  ~PrivateTempFolder() { qputenv("TMPDIR", saved); }
  QTemporaryDir dir;
  QByteArray saved;
};

// The real console window and graphical window on a display (the offscreen
// platform), with the controller's start-up sequence.
struct WindowShell {
  WindowShell() : controller(parts(), {}) {}

  ControllerParts parts() {
    ControllerParts p = platform.parts(consoleWindow, sink);
    p.makeGuiWindow = [this](gui::GuiHost& host) {
      gui::GuiWindow* made = gui::createGraphicalWindow(host);
      windows.push_back(dynamic_cast<gui::GraphicalWindow*>(made));
      return made;
    };
    return p;
  }

  gui::GraphicalWindow* window() const { return windows.empty() ? nullptr : windows.back().data(); }

  Screen look() const {
    Screen s;
    s.consoleShown = consoleWindow.isVisible();
    if (gui::GraphicalWindow* w = window()) {
      s.windowShown = w->isVisible();
      s.loadingShown = w->fraLoading()->isVisible();
      s.spinning = w->tmrload()->isActive();
    }
    return s;
  }

  int printedCount(const QByteArray& line) const { return int(printed.count(line)); }

  PrivateTempFolder temp;
  gui::ConsoleWindow consoleWindow{QStringLiteral("Rootix")};
  WatchingSink sink;
  fakes::FakePlatform platform;
  QList<QPointer<gui::GraphicalWindow>> windows;
  QByteArray printed;
  Controller controller;
};

TEST(StartUpWithADisplay, WindowShownConsoleHiddenLoadingAroundTheScan) {
  WindowShell g;
  Screen atWelcome;
  Screen duringScan;
  bool scanSeen = false;
  g.sink.onWrite = [&](const QByteArray& bytes) {
    if (bytes.contains("Welcome to ")) atWelcome = g.look();
    if (bytes.contains("Initiating thread structure")) {
      duringScan = g.look();
      scanSeen = true;
    }
  };
  g.controller.Form_Load();

  ASSERT_EQ(g.windows.size(), 1);
  ASSERT_NE(g.window(), nullptr);
  EXPECT_EQ(atWelcome, Screen{}) << "nothing is shown before the window opens";
  ASSERT_TRUE(scanSeen);
  EXPECT_EQ(duringScan, (Screen{.windowShown = true, .consoleShown = false, .loadingShown = true, .spinning = true}));
  EXPECT_EQ(g.look(), (Screen{.windowShown = true, .consoleShown = false, .loadingShown = false, .spinning = false}))
      << "the menu after the scan";
  EXPECT_FALSE(g.window()->isLoading());
  EXPECT_TRUE(g.window()->lblButton(0)->isVisible());
}

// "3" runs 32M once in the console window; when it completes one new window
// replaces the old one, which is released.
TEST(StartUpWithADisplay, KeyThreeRunsOnceAndANewWindowReturns) {
  WindowShell g;
  g.sink.onWrite = [&g](const QByteArray& bytes) { g.printed += bytes; };
  g.controller.Form_Load();
  g.controller.interpreter().doInput(QStringLiteral("ft 2"), true);
  ASSERT_EQ(g.windows.size(), 1);
  const QPointer<gui::GraphicalWindow> first = g.window();

  QTest::keyClick(first.data(), Qt::Key_3);
  platform::waitUntil([&g] { return g.windows.size() >= 2; }, 10, 120000);
  ASSERT_EQ(g.windows.size(), 2);
  // Long enough for a second run to start and end, were one started.
  platform::waitUntil([] { return false; }, 10, 1500);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  EXPECT_EQ(g.printedCount("Calculating sqrts of first 33554431 numbers."), 1);
  EXPECT_EQ(g.printedCount("Test completed successfully."), 1);
  EXPECT_EQ(g.windows.size(), 2);
  EXPECT_TRUE(first.isNull()) << "the window hidden for the run is released";
  EXPECT_EQ(g.look(), (Screen{.windowShown = true, .consoleShown = false}));
}

}  // namespace
}  // namespace rootix::app
