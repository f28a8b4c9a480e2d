#include "app/controller.h"

#include "app/face.h"
#include "app/gui_link.h"
#include "app/run_completion.h"
#include "app/startup_script.h"
#include "engine/engine_commands.h"
#include "engine/processor_source.h"
#include "engine/test_runner.h"
#include "gui/language.h"
#include "hardware/hardware_commands.h"
#include "platform/runtime_error.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "scores/score_book.h"
#include "scores/score_commands.h"
#include "scores/thread_count.h"
#include "submit/score_upload.h"
#include "submit/server_address.h"
#include "submit/submit_commands.h"

namespace rootix::app {

Switches Switches::parse(const QString& commandLine, bool displayAvailable) {
  Switches s;
  s.commandLine = commandLine;
  s.runTest = text::getBetween(commandLine, QStringLiteral("-run="), QStringLiteral(" "));
  if (!s.runTest.isEmpty()) {
    s.savePath = text::getBetween(commandLine, QStringLiteral("-save="), QStringLiteral(" "));
    s.exitAfterRun = !text::getBetween(commandLine, QStringLiteral("-exit="), QStringLiteral(" ")).isEmpty();
  }
  s.terminal = !displayAvailable || splitCommandLine(commandLine).contains(QStringLiteral("--terminal"));
  return s;
}

// The subsystems, each owning its state; they reach each other only through
// the interpreter and the narrow interfaces given here.
struct Controller::Subsystems {
  Subsystems(console::Interpreter& interp, console::Accumulator& acc, const ControllerParts& parts,
             const Switches& switches)
      : hardware(hardware::HardwareConsole{
                     [&interp](const QString& line) { interp.console().PrintLn(line); },
                     [&interp](const QString& line, bool noReturn) { interp.doInput(line, noReturn); }, acc.value},
                 threads,
                 hardware::HardwareServices{.launcher = parts.launcher,
                                            .settings = parts.settings,
                                            .dialogs = parts.dialogs,
                                            .abortKey = parts.abortKey,
                                            .resources = parts.resources,
                                            .abortable = parts.abortable,
                                            .revertToGui = [this] { return completion.revertToGui(); }}),
        runner(interp, threads, book.records()),
        completion(interp, switches.savePath, switches.exitAfterRun),
        gui(interp, threads, book, hardware.summary(), server, completion, parts) {
    runner.setListener(&completion);
  }

  scores::ScoreBook book;
  scores::ThreadCount threads{book.records()};
  submit::ServerAddress server;
  hardware::HardwareCommands hardware;
  engine::TestRunner runner;
  engine::SystemProcessorSource processors;
  RunCompletion completion;
  GuiLink gui;
};

Controller::Controller(ControllerParts parts, const Switches& switches)
    : parts_(std::move(parts)),
      switches_(switches),
      console_(parts_.face, parts_.sink, parts_.mirror),
      interp_(console_),
      shellCommands_(
          interp_, console::ShellServices{parts_.dialogs, parts_.clipboard, parts_.settings, [this] { Form_Unload(); },
                                          [this](bool on) {
                                            if (on) killTimer_.start();
                                          },
                                          !parts_.terminal}),
      subsystems_(std::make_unique<Subsystems>(interp_, accumulator_, parts_, switches_)) {
  // The window's upload is the submit subsystem's unless the parts bring their own.
  Subsystems& sub = *subsystems_;
  if (!parts_.uploadScore) {
    parts_.uploadScore = [&sub](int index, QString* error) {
      try {
        const submit::UploadResult r = submit::uploadScore(
            sub.book.list().at(index),
            submit::UploadServices{sub.server, sub.gui.urlOpener(), &gui::getText, &platform::tempFolder});
        if (!r.ok && error) *error = r.error;
        return r.ok;
      } catch (const RuntimeError& e) {
        if (error) *error = QStringLiteral("Error occured: ") + QString::number(e.code()) + u'.';
        return false;
      }
    };
  }
  killTimer_.setInterval(1000);
  connect(&killTimer_, &QTimer::timeout, this, [this] { shellCommands_.onKillTimerTick(); });
  registerCommands();
}

Controller::~Controller() = default;

void Controller::registerCommands() {
  shellCommands_.registerAll();
  console::registerAccumulatorCommands(interp_, accumulator_);
  subsystems_->hardware.registerAll(interp_.commands());
  const platform::LinePrinter print = [this](const QString& line) { console_.PrintLn(line); };
  scores::registerScoreCommands(
      interp_.commands(), scores::ScoreServices{subsystems_->book, subsystems_->hardware.summary(), parts_.dialogs,
                                                accumulator_.value, print});
  scores::registerRecordCommands(interp_.commands(), subsystems_->book.records(), subsystems_->threads, print);
  submit::registerSubmitCommands(
      interp_.commands(), submit::SubmitServices{subsystems_->book, subsystems_->hardware.summary(),
                                                 subsystems_->server, subsystems_->gui.urlOpener(), &gui::getText,
                                                 &platform::tempFolder, print, parts_.terminal});
  engine::registerEngineCommands(interp_, subsystems_->runner, subsystems_->processors);

  GuiLink& link = subsystems_->gui;
  interp_.commands().add(QStringLiteral("gui"), [this, &link](platform::CommandCall& call) {
    if (link.openWindow()) return;
    // A build without the window has none to open, display or not.
    console_.PrintLn(parts_.terminal && windowFaceBuilt()
                         ? QStringLiteral("No graphical window can open: no display is available. "
                                          "The console goes on in the terminal.")
                         : QStringLiteral("The graphical window is not available in this version."));
    // "gui" ends the chain for the window to take the console over; with no
    // window the chain goes on here, or no line would ever be read again.
    if (!call.noReturn()) interp_.doInput(console_.getInput(), false);
  });
  interp_.commands().add(QStringLiteral("guiloadon"), [&link](platform::CommandCall&) {
    if (gui::GuiWindow* window = link.window()) window->loading(true);
  });
  interp_.commands().add(QStringLiteral("guiloadoff"), [this, &link](platform::CommandCall&) {
    if (gui::GuiWindow* window = link.window()) {
      window->loading(false);
      return;
    }
    // Without a graphical window this is where the interactive chain starts.
    interp_.doInput(console_.getInput(), false);
  });
}

gui::GuiHost& Controller::guiHost() { return subsystems_->gui; }

void Controller::Form_Load() {
  shellCommands_.setSubHttp(true);
  console_.PrintLn(QStringLiteral("Welcome to ") + console::kProductTitle + u'.');
  cmdArgs_ = splitCommandLine(switches_.commandLine);
  shellCommands_.setCommandArgs(cmdArgs_);
  subsystems_->book.records().reset();

  if (const auto script = parts_.readScript ? parts_.readScript() : std::nullopt) {
    parts_.face.setVisible(true);
    runScript(*script);
    if (!interp_.stopped()) interp_.doInput(console_.getInput(), false);
    return;
  }

  auto run = [this](const QString& cmd) {
    if (!interp_.stopped()) interp_.doInput(cmd, true);
  };
  if (runMode()) {
    parts_.face.setVisible(true);
  } else {
    run(QStringLiteral("gui"));
    run(QStringLiteral("guiloadon"));
  }
  run(QStringLiteral("install cpuz201.exe"));
  run(QStringLiteral("install cpuz.ini"));
  run(QStringLiteral("setvistathread"));
  run(QStringLiteral("sft 4"));
  run(QStringLiteral("InitThread"));
  if (!runMode()) run(QStringLiteral("guiloadoff"));
  if (interp_.stopped()) return;
  if (switches_.runTest == QStringLiteral("32M")) {
    interp_.doInput(QStringLiteral("st 6"), false);
  } else if (switches_.runTest == QStringLiteral("1024M")) {
    interp_.doInput(QStringLiteral("st 11"), false);
  } else if (runMode() && parts_.terminal) {
    // The window could at least be closed; a terminal would be left with no
    // way in at all, so it reads lines instead.
    interp_.doInput(console_.getInput(), false);
  }
}

void Controller::runScript(const QStringList& lines) {
  console::Accumulator& acc = accumulator_;
  for (const QString& line : lines) {
    if (interp_.stopped()) return;
    if (line.isEmpty()) continue;  // blank lines are neither run nor counted
    if (acc.skipCount >= 1) {
      --acc.skipCount;
      continue;
    }
    const std::optional<QString> expanded = ExpandArguments(line, cmdArgs_);
    if (!expanded) {
      console_.PrintLn(expansionTooLongMessage());
      return;
    }
    interp_.doInput(*expanded, true);
  }
}

void Controller::Form_Unload() {
  console_.PrintLn(QStringLiteral("Please stand by..."));
  interp_.requestStop();
  if (parts_.endProcess) parts_.endProcess(subsystems_->completion.exitStatus());
}

}  // namespace rootix::app
