#pragma once

#include <QString>
#include <deque>
#include <mutex>
#include <thread>

#include "console/console.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"

namespace rootix::console {

// The console without a window: typed lines come from a file descriptor
// (standard input), read ahead on a thread of its own so the UI thread never
// blocks on it. The end of input reads as "exit", forever.
class TerminalFace : public ConsoleFace {
 public:
  // Longest line kept; the rest of a longer line is dropped.
  static constexpr qsizetype kMaxLine = qsizetype{16} << 20;

  explicit TerminalFace(int fd);
  ~TerminalFace() override;
  TerminalFace(const TerminalFace&) = delete;
  TerminalFace& operator=(const TerminalFace&) = delete;

  void lineAppended(const QString&, bool) override {}
  void textAppended(const QString&) override {}
  void beginInput() override {}
  bool lineReady() override;
  QString takeLine() override;
  void endInput() override {}
  bool isVisible() const override { return true; }
  void setVisible(bool) override {}

 private:
  void readLoop();

  int fd_;
  int stopPipe_[2] = {-1, -1};
  std::mutex mutex_;
  std::deque<QString> lines_;
  bool eof_ = false;
  std::thread reader_;
};

// Message boxes as a printed question; Yes/No is answered by a typed line
// ("y" or "yes", any case, is Yes; anything else, or the end of input, No).
// At a terminal the answer is typed after the question; otherwise (a pipe, a
// file) endQuestionLine ends the question's line so each printed line stays
// one line for whoever reads it.
class TerminalDialogs : public platform::Dialogs {
 public:
  TerminalDialogs(ConsoleFace& face, OutputSink& sink, bool endQuestionLine = false)
      : face_(face), sink_(sink), endQuestionLine_(endQuestionLine) {}
  void alert(const QString& text, const QString& caption) override;
  bool askYesNo(const QString& text, const QString& caption) override;

 private:
  ConsoleFace& face_;
  OutputSink& sink_;
  bool endQuestionLine_;
};

// Without a display there is no system clipboard; "copy" keeps the text here.
class MemoryClipboard : public platform::Clipboard {
 public:
  void setText(const QString& text) override { text_ = text; }
  const QString& text() const { return text_; }

 private:
  QString text_;
};

// Standard output as the console's mirror.
class StdoutSink : public OutputSink {
 public:
  void write(const QByteArray& bytes) override;
};

}  // namespace rootix::console
