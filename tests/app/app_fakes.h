#pragma once

#include "app/controller.h"
#include "hardware/report_capture.h"
#include "platform/process_launcher.h"
#include "support/shell_harness.h"

namespace rootix::app::fakes {

// A launcher that starts nothing (the hardware scan finds no report).
class NoLauncher : public platform::ProcessLauncher {
 public:
  int64_t startDetached(const QString&, const QStringList&) override { return 0; }
  void terminate(int64_t) override {}
};

// The abort key, never held.
class NoKey : public hardware::AbortKey {
 public:
  bool held() override { return false; }
};

// The platform a controller stands on in these tests, and its parts: no
// resources, no start-up script, no graphical window, no web links, nothing
// ends the process. Tests change the parts they look at.
struct FakePlatform {
  ControllerParts parts(console::ConsoleFace& face, console::OutputSink& sink, bool terminal = false) {
    return ControllerParts{.face = face,
                           .sink = sink,
                           .mirror = console::MirrorMode::Lines,
                           .dialogs = dialogs,
                           .clipboard = clipboard,
                           .settings = settings,
                           .launcher = launcher,
                           .abortKey = key,
                           .abortable = false,
                           .resources = {},
                           .terminal = terminal,
                           .endProcess = {},
                           .readScript = {},
                           .makeGuiWindow = {},
                           .urlOpener = nullptr,
                           .uploadScore = {}};
  }

  testing::FakeDialogs dialogs;
  testing::FakeClipboard clipboard;
  testing::MemorySettings settings;
  NoLauncher launcher;
  NoKey key;
};

}  // namespace rootix::app::fakes
