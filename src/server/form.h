#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace rootix::server {

// A form body as browsers post it (application/x-www-form-urlencoded):
// field name -> raw bytes, '+' and percent escapes decoded. The first of
// repeated fields wins; a malformed escape is kept as it was sent.
QHash<QByteArray, QByteArray> parseForm(const QByteArray& body);

// Text a windows-1252 page posted. Characters the code page lacks arrive as
// numeric references ("&#8364;"), which become the characters again.
QString fromWindows1252(const QByteArray& bytes);

}  // namespace rootix::server
