#include "hardware/cleanup.h"

#include <QString>
#include <exception>
#include <new>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/product.h"
#include "platform/settings_store.h"
#include "platform/temp_folder.h"
#include "platform/text.h"

namespace rootix::hardware {
namespace {

QString tempPath(const QString& name) { return text::addSlash(platform::tempFolder()) + name; }

// In order; the Winsock control comes last and is asked about first.
constexpr const char* kLibraryFiles[] = {
    "cpuz201.exe", "cpuz165.exe",        "cpuz160.exe",        "cpuz159.exe",     "cpuz158.exe", "cpuz.ini",
    "cpuz155.exe", "cpuz153.exe",        "cpuz147.exe",        "cpuz143.exe",     "cpuz142.exe", "cpuz141.exe",
    "cpuz140.exe", "cpuz141-readme.txt", "cpuz140-readme.txt", "cpuz-readme.txt", "cpuz.exe",    "csrdtsc.dll",
};

void removeFile(const PrintFn& print, const QString& name) {
  platform::files::remove(tempPath(name), false);
  print(QStringLiteral("Deleting ") + name);
}

void cleanUp(const PrintFn& print, platform::SettingsStore& settings, platform::Dialogs& dialogs) {
  const QString app = QStringLiteral("rrrrr");
  const QString section = QStringLiteral("Rootix");
  for (const QString& key : {QStringLiteral("Stor_name"), QStringLiteral("Error")}) {
    if (settings.get(app, section, key).isEmpty()) continue;
    settings.remove(app, section, key);
    print(QStringLiteral("Removing ") + key + QStringLiteral(" setting"));
  }

  for (const char* file : kLibraryFiles) {
    const QString name = QString::fromLatin1(file);
    if (platform::files::exists(tempPath(name))) removeFile(print, name);
  }

  const QString winsock = QStringLiteral("mswinsck.ocx");
  if (platform::files::exists(tempPath(winsock)) &&
      dialogs.askYesNo(QStringLiteral("WARNING: Microsoft Winsock Control may be in use by other "
                                      "applications, are you sure you wish to remove this?"),
                       platform::kProductTitle)) {
    removeFile(print, winsock);
  }

  print(QStringLiteral("Rootix libraries and settings removed."));
}

}  // namespace

void CleanUp(const PrintFn& print, platform::SettingsStore& settings, platform::Dialogs& dialogs) {
  // What is removed stays removed; the first failure ends it.
  try {
    cleanUp(print, settings, dialogs);
  } catch (const std::bad_alloc&) {
    print(QStringLiteral("Out of memory"));
  } catch (const std::exception& e) {
    print(QString::fromLocal8Bit(e.what()));
  }
}

}  // namespace rootix::hardware
