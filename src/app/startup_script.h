#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace rootix::app {

// A start-up script appended to the executable: everything after a line that
// is exactly "#CUSTOM_DATA#". std::nullopt when there is no such line.
std::optional<QStringList> extractStartupScript(const QByteArray& image);

// Reads the script from the running executable's own file (whatever its name).
std::optional<QStringList> readOwnStartupScript();

// Longest line ExpandArguments makes, in characters.
inline constexpr qsizetype kMaxExpandedLine = qsizetype{1} << 20;
// Most characters ExpandArguments reads over all its passes (a few tenths of
// a second); a script line with its handful of words never comes near.
inline constexpr qsizetype kMaxExpansionWork = 64 * kMaxExpandedLine;

// What start-up prints when it stops a script for a line that grew too long.
QString expansionTooLongMessage();

// Replaces "$0", "$1", ... by the words of args, in ascending order, each pass
// working on the result of the previous one. Arguments that refer to each
// other grow a line exponentially: std::nullopt once it would pass
// kMaxExpandedLine, or once the passes together read kMaxExpansionWork.
std::optional<QString> ExpandArguments(const QString& line, const QStringList& args);

// The command line as text (arguments without the program path, joined by
// single spaces) and its words split at every single space.
QString commandLineText(const QStringList& arguments);
QStringList splitCommandLine(const QString& commandLine);

}  // namespace rootix::app
