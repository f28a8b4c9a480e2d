#include "hardware/report_parser.h"

#include <cstdint>

#include "platform/numbers.h"

namespace rootix::hardware {
namespace {

const QString kUnderline = QStringLiteral("--------");

}  // namespace

QString GetTabKey(QStringView line) {
  const qsizetype tab = line.indexOf(u'\t');
  return tab <= 0 ? QString() : line.left(tab).toString();
}

QString GetTabValue(QStringView line) {
  const qsizetype tab = line.lastIndexOf(u'\t');
  return tab < 0 ? line.toString() : line.mid(tab + 1).toString();
}

HashTable ParseCPUzOutput(const QString& text, const PrintFn& print, const std::function<void()>& pumpEvents) {
  print(QStringLiteral("Parsing CPUz output file, this may take several minutes."));
  HashTable table;
  if (text.isEmpty()) return table;

  // Lines are views into text; the count comes first, for the progress steps.
  const QStringView all(text);
  const QStringView lineBreak(u"\r\n");
  const int64_t last = all.count(lineBreak);  // index of the last line

  QString header;
  bool skipToBlank = false;  // inside a dump block
  bool skipToDmi = false;    // inside the "Monitoring" section
  int64_t nextProgress = 0;
  int progressCount = 0;
  QStringView previous;  // line i - 1 as it stands now (an item loses its leading tab)

  qsizetype start = 0;
  for (int64_t i = 0; i <= last; ++i) {
    const qsizetype end = i < last ? all.indexOf(lineBreak, start) : all.size();
    QStringView line = all.mid(start, end - start);
    start = end + lineBreak.size();

    if (skipToBlank) {
      if (line.isEmpty()) skipToBlank = false;
    } else if (skipToDmi) {
      if (line == u"DMI") skipToDmi = false;
    } else if (line == u"Monitoring") {
      skipToDmi = true;
    } else if (line == u"DMI System Enclosure") {
      break;  // nothing after it is read, not even a progress line
    } else if (line.size() < 4) {
      // too short to be an item
    } else if (line.startsWith(u"Dump")) {
      skipToBlank = true;
    } else if (line.startsWith(u"0x") || line.startsWith(u"MSR")) {
      // single dump and register lines
    } else {
      // The underline names the section: the title is the line above it.
      if (i >= 1 && line.size() >= 8 && line.startsWith(kUnderline)) header = previous.toString();
      if (line.startsWith(u'\t')) line = line.mid(1);
      table.setValue(header + u'.' + GetTabKey(line), GetTabValue(line));
    }
    previous = line;

    if (i >= nextProgress) {
      nextProgress = static_cast<int64_t>(
          num::roundHalfEven(static_cast<double>(last) / 20.0 + static_cast<double>(nextProgress)));
      print(num::numberText(progressCount * 5.0) + QStringLiteral("% complete"));
      ++progressCount;
      if (pumpEvents) pumpEvents();
    }
  }
  return table;
}

}  // namespace rootix::hardware
