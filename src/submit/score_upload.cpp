#include "submit/score_upload.h"

#include <QUrl>

#include "platform/files.h"
#include "platform/runtime_error.h"
#include "platform/text.h"
#include "platform/url_opener.h"
#include "scores/score.h"
#include "submit/server_address.h"

namespace rootix::submit {
namespace {

QString reason(const RuntimeError& e) { return QString::fromLocal8Bit(e.what()); }

// Every failure of an upload is told in words; the number is the error's own
// where a file or the folder gave one.
Failure failed(QString text, int code = kInvalidProcedureCall) { return Failure{code, std::move(text)}; }

}  // namespace

bool hasHardware(const scores::Score& score) { return !score.hardware.score_extra_cpu_string.isEmpty(); }

void writePage(const QString& path, const QByteArray& page) { platform::files::writeAtomic(path, page, 0600); }

Result<QString> uploadScore(const scores::Score& score, const UploadServices& services) {
  const QString base = services.server.base();
  if (const QString refusal = ServerAddress::refusal(base); !refusal.isEmpty()) return failed(refusal);

  QByteArray data;
  try {
    data = text::toSingleByte(score.toString(false));
  } catch (const RuntimeError& e) {
    return failed(QStringLiteral("This score cannot be written as text: ") + reason(e) + u'.', e.code());
  }
  if (firstByteFormChanges(data) >= 0) {
    // Only a stray control code in a hardware text does this; sent anyway,
    // the server would store a different score than this one.
    return failed(
        QStringLiteral("This score holds control characters that a web form would change, "
                       "so it cannot be uploaded."));
  }

  QString path;
  try {
    path = services.folder() + kPageName;
  } catch (const RuntimeError& e) {
    return failed(QStringLiteral("The temporary folder cannot be used: ") + reason(e) + u'.', e.code());
  }
  const QByteArray page = renderUploadPage(base, PageTexts::from(services.getText), data, score.conditions);
  if (page.isEmpty()) return failed(QStringLiteral("The submission page's template is missing from this build."));
  try {
    writePage(path, page);
  } catch (const RuntimeError& e) {
    return failed(
        QStringLiteral("Could not write the submission page ") + path + QStringLiteral(": ") + reason(e) + u'.',
        e.code());
  }

  if (const Result<void> opened = services.opener.open(QUrl::fromLocalFile(path)); !opened) {
    return failed(QStringLiteral("Could not open the submission page in a browser: ") + opened.failure().text +
                      QStringLiteral(". The page is ") + path,
                  opened.code());
  }
  return path;
}

}  // namespace rootix::submit
