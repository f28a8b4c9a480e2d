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

// A typed form field: windows-1252, as the submission page posts it, unless
// its bytes are valid UTF-8 with something beyond ASCII in them: that comes
// from a UTF-8 page (a windows-1252 text rarely forms such sequences).
QString formText(const QByteArray& bytes);

}  // namespace rootix::server
