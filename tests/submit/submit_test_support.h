#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <optional>

#include "platform/process_launcher.h"
#include "platform/url_opener.h"

namespace rootix::submit::testing {

// Records what it was asked to open; fails with a reason when told to.
class FakeOpener : public platform::UrlOpener {
 public:
  QList<QUrl> opened;
  QString failWith;  // non-empty: open fails with this reason
  Result<void> open(const QUrl& url) override {
    opened << url;
    if (failWith.isEmpty()) return {};
    return Failure{kInvalidProcedureCall, failWith};
  }
};

// One start tag of the page with its attributes.
struct Tag {
  QString name;
  QMap<QString, QString> attributes;  // values HTML-unescaped
};

// The written page taken apart the way a browser's parser sees it: start
// tags in document order and the textarea's text as bytes.
struct ParsedPage {
  QList<Tag> tags;
  QByteArray textareaBytes;  // unescaped, the leading line break dropped
  bool textareaWellFormed = false;
  QByteArray outsideTextarea;  // the page with the textarea's content cut out

  QList<Tag> tagsNamed(const QString& name) const;
};

ParsedPage parsePage(const QByteArray& page);

// HTML character references of a single-byte page: &amp; &lt; &gt; &quot;
// and &#N; with N below 256. Anything else gives nothing: a stray "&" would
// be read differently by a browser.
std::optional<QByteArray> unescape(QByteArrayView escaped);

// The plain text whose scrambled form (+7 within 1..255) is scrambled, so a
// hardware text can put exactly these bytes into the page.
QString unscrambledFor(const QByteArray& scrambled);

}  // namespace rootix::submit::testing
