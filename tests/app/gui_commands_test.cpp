#include <gtest/gtest.h>

#include <QUrl>
#include <functional>
#include <memory>
#include <vector>

#include "app/app_fakes.h"
#include "app/controller.h"
#include "app/gui_link.h"
#include "platform/events.h"
#include "scores/score_list.h"
#include "support/shell_harness.h"

namespace rootix::app {
namespace {

using namespace rootix::testing;

// A graphical window that only records what the controller did with it.
class FakeWindow : public gui::GuiWindow {
 public:
  explicit FakeWindow(gui::GuiHost& h) : host(h) {}
  void loading(bool on) override {
    if (onLoading) onLoading();
    loadingCalls.push_back(on);
    loadingNow = on;
  }
  bool isLoading() const override { return loadingNow; }
  void showWindow() override { ++shown; }
  void release() override { ++released; }

  gui::GuiHost& host;
  std::function<void()> onLoading;
  std::vector<bool> loadingCalls;
  bool loadingNow = false;
  int shown = 0;
  int released = 0;
};

// A controller on fakes; its graphical windows are FakeWindows (none when
// `withWindow` is false, as in the terminal console).
struct GuiShell {
  explicit GuiShell(bool withWindow = true, bool terminal = false,
                    const std::function<void(ControllerParts&)>& adjust = {})
      : controller(parts(withWindow, terminal, adjust), {}) {
    controller.console().setPumpEvents(false);
    face.lines = {QStringLiteral("echo line read")};
  }

  ControllerParts parts(bool withWindow, bool terminal, const std::function<void(ControllerParts&)>& adjust) {
    ControllerParts p = platform.parts(face, sink, terminal);
    p.endProcess = [this](int status) { ended.push_back(status); };
    if (withWindow) {
      p.makeGuiWindow = [this](gui::GuiHost& host) {
        windows.push_back(std::make_unique<FakeWindow>(host));
        if (makeWindowHook) makeWindowHook(*windows.back());
        return windows.back().get();
      };
    }
    if (adjust) adjust(p);
    return p;
  }

  QStringList type(const QString& line, bool noReturn = true) {
    sink.data.clear();
    controller.interpreter().doInput(line, noReturn);
    return sink.lines();
  }
  bool lineWasRead() const { return face.lines.empty(); }

  ScriptedFace face;
  CaptureSink sink;
  fakes::FakePlatform platform;
  std::vector<std::unique_ptr<FakeWindow>> windows;
  std::function<void(FakeWindow&)> makeWindowHook;
  std::vector<int> ended;
  Controller controller;
};

TEST(GuiCommand, OpensAWindowHidesTheConsoleAndEndsTheChain) {
  GuiShell g;
  EXPECT_EQ(g.type(QStringLiteral("gui"), false), QStringList{});
  ASSERT_EQ(g.windows.size(), 1u);
  EXPECT_EQ(g.windows[0]->shown, 1);
  EXPECT_EQ(&g.windows[0]->host, &g.controller.guiHost());
  EXPECT_FALSE(g.face.visible);
  EXPECT_FALSE(g.lineWasRead());
}

TEST(GuiCommand, ANewWindowReleasesTheEarlierOne) {
  GuiShell g;
  g.type(QStringLiteral("gui"));
  g.type(QStringLiteral("GUI"));
  ASSERT_EQ(g.windows.size(), 2u);
  EXPECT_EQ(g.windows[0]->released, 1);
  EXPECT_EQ(g.windows[1]->released, 0);
  EXPECT_EQ(g.windows[1]->shown, 1);
  g.type(QStringLiteral("guiloadon"));
  EXPECT_TRUE(g.windows[0]->loadingCalls.empty()) << "the released window is left alone";
  EXPECT_EQ(g.windows[1]->loadingCalls, std::vector<bool>{true});
}

TEST(GuiCommand, LoadingStateReachesTheWindow) {
  GuiShell g;
  g.type(QStringLiteral("gui"));
  g.type(QStringLiteral("guiloadon"));
  EXPECT_TRUE(g.windows[0]->isLoading());
  g.type(QStringLiteral("guiloadoff"));
  EXPECT_EQ(g.windows[0]->loadingCalls, (std::vector<bool>{true, false}));
  EXPECT_FALSE(g.lineWasRead()) << "with a window the chain does not start";
}

TEST(GuiCommand, WithoutAWindowGuiloadoffStartsTheChain) {
  GuiShell g;
  EXPECT_EQ(g.type(QStringLiteral("guiloadon")), QStringList{});
  const QStringList out = g.type(QStringLiteral("guiloadoff"));
  EXPECT_TRUE(g.lineWasRead());
  EXPECT_EQ(out.mid(0, 2), (QStringList{QStringLiteral("echo line read"), QStringLiteral(" line read")}));
}

// Where no window opens the console keeps reading lines: nothing else would.
TEST(GuiCommand, KeptMessageWhereNoWindowCanOpen) {
  const std::pair<bool, const char*> cases[] = {
      {true, "No graphical window can open: no display is available. The console goes on in the terminal."},
      {false, "The graphical window is not available in this version."},
  };
  for (const auto& [terminal, message] : cases) {
    GuiShell g(false, terminal);
    const QStringList out = g.type(QStringLiteral("gui"), false);
    EXPECT_EQ(out.mid(0, 3), (QStringList{QString::fromUtf8(message), QStringLiteral("echo line read"),
                                          QStringLiteral(" line read")}));
    EXPECT_TRUE(g.face.visible);
    EXPECT_TRUE(g.lineWasRead());
    GuiShell quiet(false, terminal);
    EXPECT_EQ(quiet.type(QStringLiteral("gui"), true), QStringList{QString::fromUtf8(message)});
    EXPECT_FALSE(quiet.lineWasRead()) << "no_return reads no line";
  }
}

TEST(GuiCommand, ClosedWindowIsReleasedAndTheConsoleTakesOver) {
  GuiShell g;
  g.type(QStringLiteral("gui"));
  g.controller.guiHost().guiClosed();
  EXPECT_EQ(g.windows[0]->released, 1);
  g.type(QStringLiteral("guiloadoff"));
  EXPECT_TRUE(g.lineWasRead());
  EXPECT_TRUE(g.windows[0]->loadingCalls.empty());
}

TEST(GuiCommand, StartUpShowsTheLoadingStateAroundTheScan) {
  GuiShell g;
  QStringList printedAtLoading;  // the last line printed when loading() was called
  g.makeWindowHook = [&](FakeWindow& w) {
    w.onLoading = [&] { printedAtLoading << g.sink.lines().value(g.sink.lines().size() - 1); };
  };
  g.controller.Form_Load();
  ASSERT_EQ(g.windows.size(), 1u);
  EXPECT_EQ(g.windows[0]->loadingCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(printedAtLoading, (QStringList{QStringLiteral("Welcome to Rootix Benchmark v2.11."),
                                           QStringLiteral("Initiating thread structure, please stand by.")}))
      << "on before the hardware scan, off after the warm-up";
  EXPECT_FALSE(g.face.visible);
  EXPECT_FALSE(g.lineWasRead()) << "the window, not the console, has the user";
}

TEST(GuiCommand, RunStartedFromTheWindowReopensOneWhenItCompletes) {
  GuiShell g;
  g.type(QStringLiteral("gui"));
  g.type(QStringLiteral("ft 1"));
  g.type(QStringLiteral("qm"));
  gui::GuiHost& host = g.controller.guiHost();
  host.setRevertToGui(true);
  host.setConsoleVisible(true);
  host.doInput(QStringLiteral("st 1"), true);
  platform::waitUntil([&] { return g.windows.size() == 2; }, 10, 60000);
  ASSERT_EQ(g.windows.size(), 2u);
  EXPECT_EQ(g.windows[0]->released, 1);
  EXPECT_EQ(g.windows[1]->shown, 1);
  EXPECT_FALSE(g.face.visible);
  EXPECT_FALSE(g.lineWasRead());
  EXPECT_TRUE(g.sink.lines().contains(QStringLiteral("Test completed successfully.")));
}

TEST(GuiHostOfTheController, WhatTheWindowReads) {
  GuiShell g;
  gui::GuiHost& host = g.controller.guiHost();
  EXPECT_EQ(host.threads(), 0);
  g.type(QStringLiteral("ft 3"));
  EXPECT_EQ(host.threads(), 3);
  EXPECT_EQ(host.serverBase(), QStringLiteral("http://127.0.0.1:8080"));
  EXPECT_EQ(host.scores().count(), 0);
  EXPECT_EQ(host.takeRecordsIntoScores(), 0);

  const Result<void> opened = host.urlOpener().open(QUrl(QStringLiteral("http://127.0.0.1:8080/")));
  EXPECT_FALSE(opened);
  EXPECT_FALSE(opened.failure().text.isEmpty());
  const Result<void> uploaded = host.uploadScore(1);
  EXPECT_FALSE(uploaded);
  EXPECT_FALSE(uploaded.failure().text.isEmpty());

  g.type(QStringLiteral("echo x"));
  host.appendConsoleBreak();
  EXPECT_TRUE(g.controller.console().transcript().text().endsWith(QStringLiteral(" x\r\n\r\n")));
  host.setConsoleVisible(false);
  EXPECT_FALSE(host.consoleVisible());

  host.endProcess();
  EXPECT_EQ(g.ended, std::vector<int>{0});
  EXPECT_TRUE(g.controller.interpreter().stopped());
}

// The window's server is the one "hserver" sets, trimmed as the submission page's.
TEST(GuiHostOfTheController, SessionServerAndGivenUploadAreUsed) {
  int uploaded = -1;
  GuiShell g(true, false, [&uploaded](ControllerParts& parts) {
    parts.uploadScore = [&uploaded](int index) -> Result<void> {
      uploaded = index;
      return {};
    };
  });
  gui::GuiHost& host = g.controller.guiHost();
  g.type(QStringLiteral("hserver https://scores.example/"));
  EXPECT_EQ(host.serverBase(), QStringLiteral("https://scores.example"));
  EXPECT_TRUE(host.uploadScore(2));
  EXPECT_EQ(uploaded, 2);
}

}  // namespace
}  // namespace rootix::app
