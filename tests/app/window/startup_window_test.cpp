#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QTimer>
#include <functional>

#include "app/controller.h"
#include "gui/button_label.h"
#include "gui/console_window.h"
#include "gui/graphical_window.h"
#include "support/shell_harness.h"

namespace rootix::app {
namespace {

using namespace rootix::testing;

class NoLauncher : public platform::ProcessLauncher {
 public:
  int64_t startDetached(const QString&, const QStringList&) override { return 0; }
  void terminate(int64_t) override {}
};

class NoKey : public hardware::AbortKey {
 public:
  bool held() override { return false; }
};

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

// The real start-up sequence with the real console window and graphical
// window on a display (the offscreen platform).
TEST(StartUpWithADisplay, WindowShownConsoleHiddenLoadingAroundTheScan) {
  gui::ConsoleWindow consoleWindow(QStringLiteral("Rootix"));
  WatchingSink sink;
  FakeDialogs dialogs;
  FakeClipboard clipboard;
  MemorySettings settings;
  NoLauncher launcher;
  NoKey key;
  gui::GraphicalWindow* window = nullptr;
  int windowsMade = 0;

  auto look = [&] {
    Screen s;
    s.consoleShown = consoleWindow.isVisible();
    if (window) {
      s.windowShown = window->isVisible();
      s.loadingShown = window->fraLoading()->isVisible();
      s.spinning = window->tmrload()->isActive();
    }
    return s;
  };
  Screen atWelcome;
  Screen duringScan;
  bool scanSeen = false;
  sink.onWrite = [&](const QByteArray& bytes) {
    if (bytes.contains("Welcome to ")) atWelcome = look();
    if (bytes.contains("Initiating thread structure")) {
      duringScan = look();
      scanSeen = true;
    }
  };

  ControllerParts parts{.face = consoleWindow,
                        .sink = sink,
                        .mirror = console::MirrorMode::Lines,
                        .dialogs = dialogs,
                        .clipboard = clipboard,
                        .settings = settings,
                        .launcher = launcher,
                        .abortKey = key,
                        .abortable = false,
                        .resources = {},
                        .terminal = false,
                        .endProcess = [](int) {},
                        .readScript = {}};
  parts.makeGuiWindow = [&](gui::GuiHost& host) {
    gui::GuiWindow* made = gui::createGraphicalWindow(host);
    window = dynamic_cast<gui::GraphicalWindow*>(made);
    ++windowsMade;
    return made;
  };
  Controller controller(std::move(parts), {});
  controller.Form_Load();

  ASSERT_EQ(windowsMade, 1);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(atWelcome, Screen{}) << "nothing is shown before the window opens";
  ASSERT_TRUE(scanSeen);
  EXPECT_EQ(duringScan, (Screen{.windowShown = true, .consoleShown = false, .loadingShown = true, .spinning = true}));
  EXPECT_EQ(look(), (Screen{.windowShown = true, .consoleShown = false, .loadingShown = false, .spinning = false}))
      << "the menu after the scan";
  EXPECT_FALSE(window->isLoading());
  EXPECT_TRUE(window->lblButton(0)->isVisible());
  EXPECT_FALSE(consoleWindow.input()->isEnabled() && consoleWindow.isVisible()) << "no console prompt waits";
}

}  // namespace
}  // namespace rootix::app
