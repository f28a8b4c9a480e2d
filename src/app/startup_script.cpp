#include "app/startup_script.h"

#include <QCoreApplication>
#include <QFile>

#include "platform/text.h"

namespace rootix::app {
namespace {

// Built at run time: the literal must not sit in our own image as a line.
QByteArray marker() { return QByteArray("#CUSTOM_") + QByteArray("DATA#"); }

}  // namespace

std::optional<QStringList> extractStartupScript(const QByteArray& image) {
  const QByteArray mark = marker();
  qsizetype from = 0;
  for (;;) {
    const qsizetype at = image.indexOf(mark, from);
    if (at < 0) return std::nullopt;
    from = at + 1;
    if (at > 0 && image[at - 1] != '\n') continue;
    qsizetype end = at + mark.size();
    if (end < image.size() && image[end] == '\r') ++end;
    if (end < image.size() && image[end] != '\n') continue;
    // The marker line is found: the script is the text after it.
    const QByteArray rest = end < image.size() ? image.mid(end + 1) : QByteArray();
    QStringList lines;
    if (rest.isEmpty()) return lines;
    for (QByteArray line : rest.split('\n')) {
      if (line.endsWith('\r')) line.chop(1);
      lines << text::fromSingleByte(line);
    }
    if (rest.endsWith('\n')) lines.removeLast();  // the last line break ends the last line
    return lines;
  }
}

std::optional<QStringList> readOwnStartupScript() {
  QFile self(QCoreApplication::applicationFilePath());
  if (!self.open(QIODevice::ReadOnly)) return std::nullopt;
  return extractStartupScript(self.readAll());
}

QString expansionTooLongMessage() {
  return QStringLiteral(
      "Start-up script stopped: replacing the $ arguments of a line makes it longer than 1 MiB or takes too long");
}

std::optional<QString> ExpandArguments(const QString& line, const QStringList& args) {
  QString result = line;
  // Many words over a long line full of "$" cost a scan of the line per word
  // even when the line stays short enough: that is bounded too.
  qsizetype scanned = 0;
  for (qsizetype i = 0; i < args.size(); ++i) {
    if (!result.contains(u'$')) break;  // no reference left for any later pass
    scanned += result.size();
    if (scanned > kMaxExpansionWork) return std::nullopt;
    const QString ref = u'$' + QString::number(i);
    // Measured before replacing, so a runaway pass never allocates its result.
    const qsizetype grows = result.count(ref) * (args[i].size() - ref.size());
    if (result.size() + grows > kMaxExpandedLine) return std::nullopt;
    result.replace(ref, args[i]);
  }
  return result;
}

QString commandLineText(const QStringList& arguments) { return arguments.mid(1).join(u' '); }

QStringList splitCommandLine(const QString& commandLine) { return commandLine.split(u' '); }

}  // namespace rootix::app
