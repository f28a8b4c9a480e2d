#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "console/transcript.h"

namespace rootix::console {

// What shows the console: the Qt window or the terminal. It shows the
// transcript as it grows and delivers typed lines.
class ConsoleFace {
 public:
  virtual ~ConsoleFace() = default;

  virtual void lineAppended(const QString& line, bool cleared) = 0;
  virtual void textAppended(const QString& text) = 0;

  // Input: beginInput shows the input line (and takes focus); lineReady is
  // polled while the console waits; takeLine hands over the typed line;
  // endInput hides the input line again.
  virtual void beginInput() = 0;
  virtual bool lineReady() = 0;
  virtual QString takeLine() = 0;
  virtual void endInput() = 0;

  virtual bool isVisible() const = 0;
  virtual void setVisible(bool visible) = 0;
};

// Where the console mirrors its text for other programs and for a person at a
// terminal: standard output in the program, a buffer in tests.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual void write(const QByteArray& bytes) = 0;
};

// How the mirror behaves. Lines: exactly the printed lines, one per line (a
// pipe, or beside the window). Terminal: a person reads standard output, so
// the prompt is shown too, and typed lines are not shown again when the
// terminal already echoed them.
enum class MirrorMode { Lines, Terminal, TerminalEchoed };

// The console of the main window: transcript, line output, line input,
// pausing and the delayed exit.
class Console {
 public:
  Console(ConsoleFace& face, OutputSink& sink, MirrorMode mode = MirrorMode::Lines);

  void PrintLn(const QString& s);
  void PrintCh(const QString& s);

  // Reads one line: pendingInput at once if set, else shows the prompt and
  // waits (events keep running) until a line is typed. Returns it as typed.
  QString getInput();
  bool waitingForInput() const { return waitingDepth_ > 0; }

  // Returned by the next getInput without waiting (set after a run for -exit=).
  void setPendingInput(const QString& line);
  const QString& pendingInput() const { return pendingInput_; }

  const Transcript& transcript() const { return transcript_; }
  ConsoleFace& face() { return face_; }

  // Pausing input: the interpreter queues lines while paused.
  bool inputPaused() const { return inputPaused_; }
  void pauseInput();  // prints "Input paused", starts an empty queue
  void queueLine(const QString& line);
  QStringList takeQueue();  // prints "Input resumed", ends the pause

  // Lets pending events run after each line (off in tests that print lots).
  void setPumpEvents(bool on) { pumpEvents_ = on; }

 private:
  void printLine(const QString& s, bool typedEcho);

  ConsoleFace& face_;
  OutputSink& sink_;
  MirrorMode mode_;
  Transcript transcript_;
  QString pendingInput_;
  QString lastTyped_;  // what the input line still holds after a read
  bool inputPaused_ = false;
  QStringList inputQueue_;
  int waitingDepth_ = 0;
  bool pumpEvents_ = true;
};

}  // namespace rootix::console
