#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <deque>
#include <map>
#include <tuple>

#include "console/accumulator.h"
#include "console/console.h"
#include "console/interpreter.h"
#include "console/shell_commands.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/settings_store.h"
#include "scores/score_book.h"
#include "scores/thread_count.h"

namespace rootix::testing {

// Typed lines fed from a list; when it runs out, the console reads "exit".
class ScriptedFace : public console::ConsoleFace {
 public:
  std::deque<QString> lines;
  bool visible = true;

  void lineAppended(const QString&, bool) override {}
  void textAppended(const QString&) override {}
  void beginInput() override {}
  bool lineReady() override { return true; }
  QString takeLine() override;
  void endInput() override {}
  bool isVisible() const override { return visible; }
  void setVisible(bool v) override { visible = v; }
};

// Collects what the console mirrors to standard output.
class CaptureSink : public console::OutputSink {
 public:
  QByteArray data;
  void write(const QByteArray& bytes) override { data += bytes; }
  // The mirrored lines, in order.
  QStringList lines() const;
};

// Message boxes answered from a list (true = Yes); records what was asked.
class FakeDialogs : public platform::Dialogs {
 public:
  std::deque<bool> answers;
  QStringList shown;  // "caption|text"
  void alert(const QString& text, const QString& caption) override { shown << caption + u'|' + text; }
  bool askYesNo(const QString& text, const QString& caption) override;
};

class FakeClipboard : public platform::Clipboard {
 public:
  QString text;
  void setText(const QString& t) override { text = t; }
};

class MemorySettings : public platform::SettingsStore {
 public:
  std::map<std::tuple<QString, QString, QString>, QString> values;
  bool failRemove = false;
  QString get(const QString& app, const QString& section, const QString& key) override;
  void set(const QString& app, const QString& section, const QString& key, const QString& value) override;
  void remove(const QString& app, const QString& section, const QString& key) override;
};

// A run flag a test sets by hand.
class FlagRunGate : public console::RunGate {
 public:
  bool flag = false;
  bool running() const override { return flag; }
};

// A console, an interpreter, the shell's own commands and the records with
// the thread count ("pr", "ft", "sft"), driven by typed lines. Subsystem
// tests add their commands to `interp` before run().
struct ShellHarness {
  ShellHarness();

  ScriptedFace face;
  CaptureSink sink;
  console::Console console{face, sink};
  console::Interpreter interp{console};
  FlagRunGate running;
  scores::ScoreBook scoreBook;
  scores::ThreadCount threads{scoreBook.records()};
  FakeDialogs dialogs;
  FakeClipboard clipboard;
  MemorySettings settings;
  console::Accumulator accumulator;
  console::ShellCommands commands;
  int exits = 0;
  bool killTimerOn = false;

  // Types the lines (the first one starts the chain) and returns every line
  // printed from then on. Ends when the lines run out ("exit").
  QStringList run(const QStringList& typed);
};

}  // namespace rootix::testing
