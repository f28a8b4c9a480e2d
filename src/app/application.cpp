#include "app/application.h"

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/abort_keys.h"
#include "app/controller.h"
#include "app/instance_check.h"
#include "app/startup_script.h"
#include "app/usage.h"
#include "console/terminal_face.h"
#include "gui/console_window.h"
#include "gui/desktop_url_opener.h"
#include "gui/graphical_window.h"
#include "hardware/embedded_resources.h"
#include "platform/process_launcher.h"
#include "platform/runtime_error.h"
#include "platform/settings_store.h"
#include "platform/stdout_writer.h"
#include "platform/xdg_url_opener.h"

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

// Standard error: the console's own lines on standard output stay as they are.
void printWarning(const QString& text) {
  std::fprintf(stderr, "Warning: %s\n", text.toLocal8Bit().constData());
  std::fflush(stderr);
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

  InstanceCheck instance = claimInstance();
  if (instance.status != 0) return instance.status;
  platform::InstanceLock& instanceLock = *instance.lock;

  platform::IniSettingsStore settings;
  std::unique_ptr<console::ConsoleFace> face;
  std::unique_ptr<platform::Dialogs> dialogs;
  std::unique_ptr<platform::Clipboard> clipboard;
  console::StdoutSink sink;
  console::MirrorMode mirror = console::MirrorMode::Lines;
  if (switches.terminal) {
    auto terminalFace = std::make_unique<console::TerminalFace>(STDIN_FILENO);
    dialogs = std::make_unique<console::TerminalDialogs>(*terminalFace, sink, !platform::stdoutIsTerminal());
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

  // The terminal console has no graphical application to open a browser
  // with; its opener program must not share the terminal either.
  platform::SilentProcessLauncher browserLauncher;
  std::unique_ptr<platform::UrlOpener> urlOpener;
  if (switches.terminal) {
    urlOpener = std::make_unique<platform::XdgUrlOpener>(browserLauncher);
  } else {
    urlOpener = std::make_unique<gui::DesktopUrlOpener>();
  }

  ControllerParts parts{.face = *face,
                        .sink = sink,
                        .mirror = mirror,
                        .dialogs = *dialogs,
                        .clipboard = *clipboard,
                        .settings = settings,
                        .launcher = launcher,
                        .abortKey = *abortKey,
                        .abortable = abortable,
                        .resources = &hardware::loadResource,
                        .terminal = switches.terminal,
                        .endProcess =
                            [&instanceLock](int status) {
                              instanceLock.unlock();
                              endProcess(status);
                            },
                        .readScript = &readOwnStartupScript,
                        .makeGuiWindow = switches.terminal ? nullptr : &gui::createGraphicalWindow,
                        .serverBase = {},
                        .urlOpener = urlOpener.get(),
                        .uploadScore = {},
                        .warn = switches.terminal ? std::function<void(const QString&)>(&printWarning)
                                                  : std::function<void(const QString&)>()};
  Controller controller(std::move(parts), switches);
  if (auto* window = dynamic_cast<gui::ConsoleWindow*>(face.get())) {
    window->onClose = [&controller] { controller.interpreter().doInput(QStringLiteral("exit"), true); };
  }
  QTimer::singleShot(0, &controller, [&controller] { controller.Form_Load(); });
  return app->exec();
}

}  // namespace rootix::app
