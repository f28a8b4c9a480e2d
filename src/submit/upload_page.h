#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace rootix::submit {

// The language table's lookup (getText): key to text.
using TextLookup = std::function<QString(const QString& key)>;

// The captions of the submission page.
struct PageTexts {
  QString uploadInfo;   // "upload-info"
  QString upload;       // "upload", the submit button
  QString title;        // "title"
  QString link;         // "link"
  QString description;  // "description"

  static PageTexts from(const TextLookup& getText);
};

// The filled page as the bytes of a windows-1252 file. serverBase is used
// for the form action and the pictures; scoreText is the scrambled score
// text, one byte per character. Every value is HTML-escaped, and no value
// is searched for placeholders, so a score holding "!!Title!!" or
// "</textarea>" reaches the form unchanged. Empty when the template is
// missing from the build.
// conditions: the run's conditions as ASCII JSON; when not empty the form
// also posts them as the hidden field "conditions" after "link", and the page
// says in plain words under the form what that field sends.
QByteArray renderUploadPage(const QString& serverBase, const PageTexts& texts, const QByteArray& scoreText,
                            const QByteArray& conditions = {});

// What the conditions field sends, in plain words (empty for no conditions).
QString conditionsInWords(const QByteArray& conditions);

// The bytes as textarea content of a single-byte page: markup characters
// and control codes (except tab) become character references, so the
// browser's text is exactly these bytes decoded as windows-1252.
QByteArray escapeBytes(const QByteArray& bytes);

// A browser normalises form values: every CR or LF that is not part of a
// CR LF pair is posted as CR LF, and NUL as a replacement character. The
// position of the first byte of text that would not come back as it is,
// or -1 when the form posts text exactly.
qsizetype firstByteFormChanges(const QByteArray& text);

}  // namespace rootix::submit
