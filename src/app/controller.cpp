#include "app/controller.h"

#include "app/face.h"
#include "app/gui_link.h"
#include "app/repeat_runs.h"
#include "app/run_completion.h"
#include "app/run_record.h"
#include "app/run_record_commands.h"
#include "app/startup_script.h"
#include "engine/engine_commands.h"
#include "engine/kernel_choice.h"
#include "engine/processor_source.h"
#include "engine/stress_command.h"
#include "engine/stress_options.h"
#include "engine/stress_system.h"
#include "engine/test_runner.h"
#include "gui/language.h"
#include "hardware/hardware_commands.h"
#include "platform/memory_info.h"
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
namespace {

// The exit status when the -stress= value is refused (with -exit=).
constexpr int kStressRefusedStatus = 1;

// Where no opener was given: says so instead of failing silently.
class NoUrlOpener : public platform::UrlOpener {
 public:
  Result<void> open(const QUrl& url) override {
    return Failure{kInvalidProcedureCall,
                   QStringLiteral("No web browser can be opened for ") + url.toDisplayString() + u'.'};
  }
};

}  // namespace

Switches Switches::parse(const QString& commandLine, bool displayAvailable) {
  Switches s;
  s.commandLine = commandLine;
  s.runTest = text::getBetween(commandLine, QStringLiteral("-run="), QStringLiteral(" "));
  s.stress = text::getBetween(commandLine, QStringLiteral("-stress="), QStringLiteral(" "));
  if (!s.runTest.isEmpty()) s.savePath = text::getBetween(commandLine, QStringLiteral("-save="), QStringLiteral(" "));
  if (!s.runTest.isEmpty() || !s.stress.isEmpty()) {
    s.exitAfterRun = !text::getBetween(commandLine, QStringLiteral("-exit="), QStringLiteral(" ")).isEmpty();
  }
  s.jsonPath = text::getBetween(commandLine, QStringLiteral("-json="), QStringLiteral(" "));
  if (!s.runTest.isEmpty() && commandLine.contains(QStringLiteral("-repeat="))) {
    s.repeat = text::getBetween(commandLine, QStringLiteral("-repeat="), QStringLiteral(" "));
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
        kernels(parts.forcedKernel),
        runner([&interp](const QString& line) { interp.console().PrintLn(line); }, threads, book.records(), kernels,
               nullptr,
               engine::TestRunner::Hooks{
                   .endProgram = {}, .availableMemory = {}, .handBack = [&interp] { handBackToConsole(interp); }}),
        gate(runner),
        completion(interp, switches.savePath, switches.exitAfterRun, &hardware.summary()),
        recorder(RunRecorder::Services{
            .warn = parts.warn,
            .error = parts.warn ? parts.warn : std::function<void(const QString&)>([&interp](const QString& line) {
              interp.console().PrintLn(line);
            }),
            .codename = {},
            .source = nullptr}),
        urlOpener(parts.urlOpener ? *parts.urlOpener : noUrlOpener),
        gui(interp, threads, book, hardware.summary(), server, completion,
            GuiLinkParts{.face = parts.face,
                         .makeWindow = parts.makeGuiWindow,
                         .urlOpener = urlOpener,
                         .uploadScore = parts.uploadScore
                                            ? parts.uploadScore
                                            : [this](int index) { return upload(index); },
                         .endProcess = parts.endProcess}) {
    runner.setListener(&completion);
    runner.addReporter(&recorder);
    interp.setRunGate(&gate);
    // A score made by a run since start carries that run's conditions.
    book.setConditionsLookup([this](int test, double seconds) {
      const std::optional<QJsonObject> record = recorder.recordOf(test, seconds);
      return record ? conditionsForSubmission(*record) : QByteArray();
    });
  }

  scores::ScoreBook book;
  scores::ThreadCount threads{book.records()};
  submit::ServerAddress server;
  hardware::HardwareCommands hardware;
  engine::KernelChoice kernels;
  engine::TestRunner runner;
  RunnerGate gate;
  engine::SystemProcessorSource processors;
  engine::LinuxStressSystem stressSystem;
  platform::SteadyClock stressClock;
  RunCompletion completion;
  RunRecorder recorder;
  NoUrlOpener noUrlOpener;
  platform::UrlOpener& urlOpener;
  GuiLink gui;

  // The window's upload: the submit subsystem's.
  Result<void> upload(int index) {
    try {
      const Result<QString> r = submit::uploadScore(
          book.list().at(index), submit::UploadServices{server, urlOpener, &gui::getText, &platform::tempFolder});
      if (!r) return r.failure();
      return {};
    } catch (const RuntimeError& e) {
      return Failure{e.code(), errorOccured(e.code())};
    }
  }
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
  killTimer_.setInterval(1000);
  connect(&killTimer_, &QTimer::timeout, this, [this] { shellCommands_.onKillTimerTick(); });
  registerCommands();
}

Controller::~Controller() {
  // The gate goes with the subsystems; the interpreter stays a moment longer.
  interp_.setRunGate(nullptr);
}

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
      interp_.commands(),
      submit::SubmitServices{subsystems_->book, subsystems_->hardware.summary(), subsystems_->server,
                             subsystems_->urlOpener, &gui::getText, &platform::tempFolder, print, parts_.terminal});
  engine::registerEngineCommands(
      engine::EngineConsole{interp_.commands(), print, [this] { return console::PrintSelect(interp_); }},
      subsystems_->runner, subsystems_->processors, subsystems_->kernels);
  registerRunRecordCommands(interp_.commands(), console_, subsystems_->recorder, subsystems_->completion,
                            [this](int16_t test) { subsystems_->runner.StartTest(test, false); });
  hardware::AbortKey& stopKey = parts_.abortKey;
  engine::registerStressCommand(
      interp_.commands(), print,
      engine::StressServices{.system = subsystems_->stressSystem,
                             .clock = subsystems_->stressClock,
                             .threads = subsystems_->threads,
                             .armStop = [&stopKey] { stopKey.arm(); },
                             .stopRequested = [&stopKey] { return stopKey.held(); },
                             .disarmStop = [&stopKey] { stopKey.disarm(); },
                             .stopHint = parts_.terminal
                                             ? QStringLiteral("Ctrl-C ends it after the current block.")
                                             : QStringLiteral("Hold Shift to end it after the current block."),
                             .unattended = [this] { return stressSwitchRun_; },
                             .finished =
                                 [this](const engine::StressOutcome& outcome) {
                                   if (!stressSwitchRun_) return;
                                   stressSwitchRun_ = false;
                                   subsystems_->completion.stressFinished(engine::stressExitStatus(outcome));
                                 },
                             .availableMemory = &platform::availableMemoryBytes,
                             .injection = {},
                             .kernels = subsystems_->kernels});

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
  reportSwitchProblems();
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
  QString test;
  if (switches_.runTest == QStringLiteral("32M")) test = QStringLiteral("6");
  if (switches_.runTest == QStringLiteral("1024M")) test = QStringLiteral("11");
  if (!test.isEmpty()) {
    const std::optional<int> repeat = switches_.repeat ? parseRepeatCount(*switches_.repeat) : std::nullopt;
    if (repeat) {
      interp_.doInput(QStringLiteral("repeat ") + QString::number(*repeat) + u' ' + test, false);
    } else {
      interp_.doInput(QStringLiteral("st ") + test, false);
    }
  } else if (!switches_.stress.isEmpty()) {
    startStressSwitch();
  } else if (runMode() && parts_.terminal) {
    // The window could at least be closed; a terminal would be left with no
    // way in at all, so it reads lines instead.
    interp_.doInput(console_.getInput(), false);
  }
}

// The -stress= value is checked here, so that a refused one ends an unattended
// run with a status instead of waiting at the console.
void Controller::startStressSwitch() {
  std::string problem;
  const auto request = engine::parseStressSwitch(switches_.stress.toStdString(), problem);
  if (!request) {
    console_.PrintLn(QString::fromStdString(problem));
    subsystems_->completion.stressFinished(kStressRefusedStatus);
    if (parts_.terminal || switches_.exitAfterRun) interp_.doInput(console_.getInput(), false);
    return;
  }
  stressSwitchRun_ = true;
  QString line = QStringLiteral("stress ") + QString::number(request->test) + u' ' +
                 QString::number(static_cast<long long>(request->seconds));
  if (request->cycle) line += QStringLiteral(" cycle");
  interp_.doInput(line, false);
}

void Controller::reportSwitchProblems() {
  // Told apart from the console's lines, and the run goes on without them.
  auto tell = [this](const QString& message) {
    if (parts_.warn) {
      parts_.warn(message);
    } else {
      console_.PrintLn(message);
    }
  };
  if (!switches_.jsonPath.isEmpty()) {
    if (const Result<void> set = subsystems_->recorder.setPath(switches_.jsonPath); !set) {
      tell(QStringLiteral("-json=") + switches_.jsonPath + QStringLiteral(": cannot write run records there (") +
           set.failure().text + QStringLiteral("); runs are not recorded."));
    }
  }
  if (switches_.repeat && !parseRepeatCount(*switches_.repeat)) {
    tell(QStringLiteral("-repeat=") + *switches_.repeat + QStringLiteral(": ") +
         invalidRepeatMessage(*switches_.repeat) + QStringLiteral(" The test runs once."));
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
