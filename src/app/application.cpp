#include "app/application.h"

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/abort_keys.h"
#include "app/controller.h"
#include "app/face.h"
#include "app/instance_check.h"
#include "app/startup_script.h"
#include "app/usage.h"
#include "console/terminal_face.h"
#include "engine/kernel_choice.h"
#include "hardware/embedded_resources.h"
#include "platform/process_launcher.h"
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

// The terminal console: standard input and output, typed answers for message
// boxes, a clipboard of its own, xdg-open for links and Ctrl-C for Shift.
Face terminalFace(console::StdoutSink& sink, platform::ProcessLauncher& browserLauncher) {
  Face f;
  auto terminal = std::make_unique<console::TerminalFace>(STDIN_FILENO);
  f.dialogs = std::make_unique<console::TerminalDialogs>(*terminal, sink, !platform::stdoutIsTerminal());
  f.console = std::move(terminal);
  f.clipboard = std::make_unique<console::MemoryClipboard>();
  f.urlOpener = std::make_unique<platform::XdgUrlOpener>(browserLauncher);
  f.abortKey = std::make_unique<InterruptKey>();
  f.abortable = platform::stdinIsTerminal();
  if (platform::stdoutIsTerminal()) {
    f.mirror = platform::stdinIsTerminal() ? console::MirrorMode::TerminalEchoed : console::MirrorMode::Terminal;
  }
  return f;
}

}  // namespace

int run(int argc, char** argv) {
  if (const auto status = handleInfoSwitches(argc, argv)) return *status;
  // A closed pipe on standard output must not end the program.
  ::signal(SIGPIPE, SIG_IGN);

  const QString commandLine = rawCommandLine(argc, argv);
  const Switches switches = Switches::parse(commandLine, windowFaceBuilt() && platform::displayAvailable());

  std::unique_ptr<QCoreApplication> app =
      switches.terminal ? std::make_unique<QCoreApplication>(argc, argv) : makeWindowApplication(argc, argv);

  InstanceCheck instance = claimInstance();
  if (instance.status != 0) return instance.status;
  platform::InstanceLock& instanceLock = *instance.lock;

  platform::IniSettingsStore settings;
  console::StdoutSink sink;
  platform::QtProcessLauncher launcher;
  // The terminal's opener program must not share the terminal.
  platform::SilentProcessLauncher browserLauncher;
  Face face = switches.terminal ? terminalFace(sink, browserLauncher) : makeWindowFace();

  ControllerParts parts{.face = *face.console,
                        .sink = sink,
                        .mirror = face.mirror,
                        .dialogs = *face.dialogs,
                        .clipboard = *face.clipboard,
                        .settings = settings,
                        .launcher = launcher,
                        .abortKey = *face.abortKey,
                        .abortable = face.abortable,
                        .resources = &hardware::loadResource,
                        .terminal = switches.terminal,
                        .endProcess =
                            [&instanceLock](int status) {
                              instanceLock.unlock();
                              endProcess(status);
                            },
                        .readScript = &readOwnStartupScript,
                        .makeGuiWindow = face.makeGuiWindow,
                        .urlOpener = face.urlOpener.get(),
                        .uploadScore = {},
                        .warn = switches.terminal ? std::function<void(const QString&)>(&printWarning)
                                                  : std::function<void(const QString&)>(),
                        .forcedKernel = engine::kernelFromEnvironment()};
  Controller controller(std::move(parts), switches);
  if (face.setOnClose) {
    face.setOnClose([&controller] { controller.interpreter().doInput(QStringLiteral("exit"), true); });
  }
  QTimer::singleShot(0, &controller, [&controller] { controller.Form_Load(); });
  return app->exec();
}

}  // namespace rootix::app
