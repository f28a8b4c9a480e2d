#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "platform/result.h"

#include "submit/upload_page.h"

namespace rootix::platform {
class UrlOpener;
}
namespace rootix::scores {
class Score;
}

namespace rootix::submit {

class ServerAddress;

// The file name of the page in the private temporary folder.
inline const QString kPageName = QStringLiteral("upload.html");

// What an upload needs; all of it outlives the call.
struct UploadServices {
  const ServerAddress& server;
  platform::UrlOpener& opener;
  TextLookup getText;
  // The private temporary folder, ending in "/" (platform::tempFolder);
  // throws RuntimeError when it cannot be used.
  std::function<QString()> folder;
};

// Writes the submission page for score as "upload.html" in the temporary
// folder, replacing an earlier one in one step, and opens it in the
// browser; gives the page's path. Every failure comes back in the result,
// its text for the error box or the console (naming the page when it was
// written but could not be opened); nothing throws.
Result<QString> uploadScore(const scores::Score& score, const UploadServices& services);

// The save and upload icons refuse a score without hardware, as "upload" does.
bool hasHardware(const scores::Score& score);

// The one place the page reaches the disk: a temporary name, then rename.
// Throws RuntimeError.
void writePage(const QString& path, const QByteArray& page);

}  // namespace rootix::submit
