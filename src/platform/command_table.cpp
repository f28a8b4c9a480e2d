#include "platform/command_table.h"

namespace rootix::platform {

bool IsCommand(const QString& word, const QString& line) {
  if (line.compare(word, Qt::CaseInsensitive) == 0) return true;
  if (line.size() <= word.size()) return false;
  return line[word.size()] == u' ' && QStringView(line).left(word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

void CommandTable::add(const QString& word, Handler handler) { entries_.push_back({word, std::move(handler)}); }

bool CommandTable::has(const QString& word) const {
  for (const auto& entry : entries_) {
    if (entry.word.compare(word, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

const CommandTable::Handler* CommandTable::find(const QString& line) const {
  for (const auto& entry : entries_) {
    if (IsCommand(entry.word, line)) return &entry.handler;
  }
  return nullptr;
}

}  // namespace rootix::platform
