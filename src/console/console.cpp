#include "console/console.h"

#include "platform/events.h"

namespace rootix::console {

Console::Console(ConsoleFace& face, OutputSink& sink, MirrorMode mode) : face_(face), sink_(sink), mode_(mode) {}

void Console::PrintLn(const QString& s) { printLine(s, false); }

void Console::printLine(const QString& s, bool typedEcho) {
  const bool cleared = transcript_.appendLine(s);
  face_.lineAppended(s, cleared);
  // A terminal that echoed the typed line already shows it.
  if (!(typedEcho && mode_ == MirrorMode::TerminalEchoed)) {
    // Texts that carry their own CR LF breaks (the processor report) end
    // lines the same way as the rest of the mirror.
    QByteArray bytes = QString(s).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8();
    bytes += '\n';
    sink_.write(bytes);
  }
  if (pumpEvents_) platform::pumpEvents();
}

void Console::PrintCh(const QString& s) {
  transcript_.appendText(s);
  face_.textAppended(s);
  if (mode_ != MirrorMode::Lines) sink_.write(s.toUtf8());
}

QString Console::getInput() {
  if (!pendingInput_.isEmpty()) {
    const QString result = pendingInput_;
    pendingInput_.clear();
    // What the input line still holds is printed, as the window would.
    PrintLn(lastTyped_);
    return result;
  }
  const bool wasVisible = face_.isVisible();
  face_.setVisible(true);
  face_.beginInput();
  PrintCh(QStringLiteral(">"));
  ++waitingDepth_;
  platform::waitUntil([this] { return face_.lineReady() || !pendingInput_.isEmpty(); });
  --waitingDepth_;
  QString result;
  bool typed = false;
  if (face_.lineReady()) {
    result = face_.takeLine();
    typed = true;
  } else {
    result = pendingInput_;
    pendingInput_.clear();
  }
  face_.endInput();
  face_.setVisible(wasVisible);
  if (typed) lastTyped_ = result;
  printLine(result, typed);
  return result;
}

void Console::setPendingInput(const QString& line) {
  pendingInput_ = line;
  platform::wakeWaiters();
}

void Console::pauseInput() {
  PrintLn(QStringLiteral("Input paused"));
  inputPaused_ = true;
  inputQueue_.clear();
}

void Console::queueLine(const QString& line) { inputQueue_.append(line); }

QStringList Console::takeQueue() {
  PrintLn(QStringLiteral("Input resumed"));
  inputPaused_ = false;
  QStringList lines;
  lines.swap(inputQueue_);
  return lines;
}

}  // namespace rootix::console
