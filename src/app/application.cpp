#include "app/application.h"

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLockFile>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/abort_keys.h"
#include "app/main_window.h"
#include "hardware/embedded_resources.h"
#include "platform/process_launcher.h"
#include "app/startup_script.h"
#include "app/usage.h"
#include "console/terminal_face.h"
#include "gui/console_window.h"
#include "platform/runtime_error.h"
#include "platform/settings_store.h"
#include "platform/stdout_writer.h"
#include "platform/temp_folder.h"

namespace rootix::app {
namespace {

QString rawCommandLine(int argc, char** argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  return commandLineText(args);
}

[[noreturn]] void endProcess(int status) {
  // Workers may still be computing; the program ends at once, as "exit" says.
  std::fflush(nullptr);
  ::_exit(status);
}

}  // namespace

int run(int argc, char** argv) {
  if (const auto status = handleInfoSwitches(argc, argv)) return *status;
  // A closed pipe on standard output must not end the program.
  ::signal(SIGPIPE, SIG_IGN);

  const QString commandLine = rawCommandLine(argc, argv);
  const Switches switches = Switches::parse(commandLine, platform::displayAvailable());

  std::unique_ptr<QCoreApplication> app;
  if (switches.terminal) {
    app = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    app = std::make_unique<QApplication>(argc, argv);
  }

  // One instance per user: the lock lives in the private temporary folder.
  QString temp;
  try {
    temp = platform::tempFolder();
  } catch (const RuntimeError& e) {
    std::fprintf(stderr, "rootix: %s\n", e.what());
    return 1;
  }
  QLockFile instanceLock(temp + QStringLiteral("rootix.lock"));
  instanceLock.setStaleLockTime(0);
  if (!instanceLock.tryLock(0)) {
    std::fprintf(stderr, "rootix: already running for this user\n");
    return 3;
  }

  platform::IniSettingsStore settings;
  std::unique_ptr<console::ConsoleFace> face;
  std::unique_ptr<platform::Dialogs> dialogs;
  std::unique_ptr<platform::Clipboard> clipboard;
  console::StdoutSink sink;
  console::MirrorMode mirror = console::MirrorMode::Lines;
  if (switches.terminal) {
    auto terminalFace = std::make_unique<console::TerminalFace>(STDIN_FILENO);
    dialogs = std::make_unique<console::TerminalDialogs>(*terminalFace, sink);
    clipboard = std::make_unique<console::MemoryClipboard>();
    face = std::move(terminalFace);
    if (platform::stdoutIsTerminal()) {
      mirror = platform::stdinIsTerminal() ? console::MirrorMode::TerminalEchoed : console::MirrorMode::Terminal;
    }
  } else {
    auto window = std::make_unique<gui::ConsoleWindow>(console::kProductTitle);
    dialogs = std::make_unique<gui::WidgetDialogs>(window.get());
    clipboard = std::make_unique<gui::SystemClipboard>();
    face = std::move(window);
  }

  platform::QtProcessLauncher launcher;
  std::unique_ptr<hardware::AbortKey> abortKey;
  bool abortable = true;
  if (switches.terminal) {
    abortKey = std::make_unique<InterruptKey>();
    abortable = platform::stdinIsTerminal();
  } else {
    abortKey = std::make_unique<ShiftKey>();
  }

  MainWindowParts parts{*face,     sink,      mirror,    *dialogs,
                        *clipboard, settings, launcher, *abortKey,
                        abortable, &hardware::loadResource, switches.terminal,
                        [&instanceLock](int status) {
                          instanceLock.unlock();
                          endProcess(status);
                        },
                        &readOwnStartupScript};
  MainWindow mainWindow(std::move(parts), switches);
  if (auto* window = dynamic_cast<gui::ConsoleWindow*>(face.get())) {
    window->onClose = [&mainWindow] { mainWindow.interpreter().doInput(QStringLiteral("exit"), true); };
  }
  QTimer::singleShot(0, &mainWindow, [&mainWindow] { mainWindow.Form_Load(); });
  return app->exec();
}

}  // namespace rootix::app
