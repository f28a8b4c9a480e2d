#include "hardware/library_install.h"

#include <exception>
#include <new>

#include "platform/files.h"
#include "platform/runtime_error.h"
#include "platform/temp_folder.h"
#include "platform/text.h"

namespace rootix::hardware {
namespace {

QString tempPath(const QString& name) { return text::addSlash(platform::tempFolder()) + name; }

struct Library {
  QString installedAs;
  int permissions;
};

// The libraries the program carries. Resource names ignore case, and so do
// file names where the program comes from; here the file name is fixed so
// "install CPUZ201.EXE" writes and finds the same file as "cpuz201.exe".
// Only the tool is executable.
std::optional<Library> knownLibrary(const QString& file) {
  if (file.compare(QStringLiteral("cpuz201.exe"), Qt::CaseInsensitive) == 0) {
    return Library{QStringLiteral("cpuz201.exe"), 0700};
  }
  if (file.compare(QStringLiteral("cpuz.ini"), Qt::CaseInsensitive) == 0) {
    return Library{QStringLiteral("cpuz.ini"), 0600};
  }
  return std::nullopt;
}

// A library name is a file name: anything that reaches out of the temporary
// folder ("../x.ini" would otherwise be deleted) names no library.
bool isPlainName(const QString& file) {
  return !file.isEmpty() && file != u"." && file != u".." && !file.contains(u'/') && !file.contains(u'\\') &&
         !file.contains(QChar(0));
}

}  // namespace

// A tool left in the folder by another Rootix version reports what that
// version knew (an older codename table, for one), so it is replaced by the
// one this program carries; the same tool stays as it is.
bool LibraryInstaller::isOtherTool(const QString& name, const QString& file) const {
  if (name != u"cpuz201.exe" || !resources_) return false;
  const std::optional<QByteArray> carried = resources_(file);
  if (!carried) return false;
  try {
    return platform::files::readAll(tempPath(name), carried->size() + 1) != *carried;
  } catch (const RuntimeError&) {
    return true;  // unreadable or larger: not ours
  }
}

bool LibraryExist(const QString& lib) { return platform::files::exists(tempPath(lib)); }

LibraryInstaller::LibraryInstaller(PrintFn print, ResourceLookup resources, std::function<void()> getCPUz)
    : print_(std::move(print)), resources_(std::move(resources)), getCPUz_(std::move(getCPUz)) {}

bool LibraryInstaller::install(const QString& file) {
  bool installed = false;
  auto fail = [this](const QString& message) {
    lastError_ = message;
    print_(lastError_);
  };
  try {
    print_(QStringLiteral("Scanning resources"));
    const std::optional<Library> known = knownLibrary(file);
    const bool plain = isPlainName(file);
    const QString name = known ? known->installedAs : file;

    // A configuration file is always written anew.
    if (plain && file.endsWith(QStringLiteral(".ini")) && LibraryExist(name)) {
      platform::files::remove(tempPath(name), true);
    }
    if (plain && LibraryExist(name) && !isOtherTool(name, file)) {
      fail(QStringLiteral("Library already exists"));
    } else {
      print_(QStringLiteral("Installing library, please wait."));
      const std::optional<QByteArray> bytes = plain && resources_ ? resources_(file) : std::nullopt;
      if (!bytes) throw RuntimeError(kResourceNotFound);
      platform::files::writeAtomic(tempPath(name), *bytes, known ? known->permissions : 0600);
      // No component registry here: registering is a no-op, its line stays.
      print_(QStringLiteral("Registering library"));
      print_(QStringLiteral("Library installed"));
      installed = true;
    }
    if (file == u"cpuz201.exe" && getCPUz_) getCPUz_();
  } catch (const RuntimeError& e) {
    fail(e.code() == kResourceNotFound ? QStringLiteral("Library not found.") : QString::number(e.code()));
  } catch (const std::bad_alloc&) {
    fail(QString::number(kOutOfMemory));
  } catch (const std::exception&) {
    fail(QString::number(kInvalidProcedureCall));
  }
  return installed;
}

}  // namespace rootix::hardware
