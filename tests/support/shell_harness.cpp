#include "support/shell_harness.h"

#include "platform/runtime_error.h"
#include "scores/score_commands.h"

namespace rootix::testing {

QString ScriptedFace::takeLine() {
  if (lines.empty()) return QStringLiteral("exit");
  QString line = lines.front();
  lines.pop_front();
  return line;
}

QStringList CaptureSink::lines() const {
  QString text = QString::fromUtf8(data);
  if (text.endsWith(u'\n')) text.chop(1);
  if (text.isEmpty()) return {};
  return text.split(u'\n');
}

bool FakeDialogs::askYesNo(const QString& text, const QString& caption) {
  shown << caption + u'|' + text;
  if (answers.empty()) return false;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

QString MemorySettings::get(const QString& app, const QString& section, const QString& key) {
  const auto it = values.find({app, section, key});
  return it == values.end() ? QString() : it->second;
}

void MemorySettings::set(const QString& app, const QString& section, const QString& key, const QString& value) {
  values[{app, section, key}] = value;
}

void MemorySettings::remove(const QString& app, const QString& section, const QString& key) {
  if (failRemove) throw RuntimeError(kPermissionDenied, "Permission denied");
  values.erase({app, section, key});
}

ShellHarness::ShellHarness()
    : commands(interp, console::ShellServices{dialogs, clipboard, settings, [this] { ++exits; },
                                              [this](bool on) { killTimerOn = on; }}) {
  console.setPumpEvents(false);
  interp.setRunGate(&running);
  commands.registerAll();
  console::registerAccumulatorCommands(interp, accumulator);
  scores::registerRecordCommands(interp.commands(), scoreBook.records(), threads,
                                 [this](const QString& line) { console.PrintLn(line); });
}

QStringList ShellHarness::run(const QStringList& typed) {
  if (typed.isEmpty()) return {};
  sink.data.clear();
  for (qsizetype i = 1; i < typed.size(); ++i) face.lines.push_back(typed[i]);
  interp.doInput(typed.front(), false);
  return sink.lines();
}

}  // namespace rootix::testing
