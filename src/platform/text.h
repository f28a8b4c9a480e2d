#pragma once

#include <QString>

// Small text helpers shared by start-up, the hardware code, the console and the pages.
namespace rootix::text {

// The path with the platform's folder separator appended unless it already
// ends in one (an empty path gets just the separator).
QString addSlash(const QString& path);

// Everything after the first occurrence of startMark, cut before the first
// occurrence of endMark after it (all of it when endMark does not occur);
// the empty text when startMark does not occur. Case-sensitive.
QString getBetween(const QString& text, const QString& startMark, const QString& endMark);

// Leading and trailing spaces removed (spaces only, not tabs).
QString trimSpaces(const QString& text);

// Single-byte text: every character below 256 maps to its byte, anything
// else to '?'. Decoding maps every byte to the character of the same code.
QByteArray toSingleByte(const QString& text);
QString fromSingleByte(const QByteArray& bytes);

// The text as HTML content or a quoted attribute value: & < > " and ' become
// references, everything else stays. The one escaper of every page we write.
QString htmlEscape(const QString& text);

}  // namespace rootix::text
