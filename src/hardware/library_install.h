#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

#include "hardware/waiter.h"

namespace rootix::hardware {

// The bytes of a resource carried by the program, by name, ignoring case
// (the program passes loadResource); std::nullopt when there is none.
using ResourceLookup = std::function<std::optional<QByteArray>(const QString& name)>;

// True when the library file is in the private temporary folder.
bool LibraryExist(const QString& lib);

// Writes the files carried as resources ("libraries") into the private
// temporary folder. Installing "cpuz201.exe" also runs the hardware summary.
class LibraryInstaller {
 public:
  LibraryInstaller(PrintFn print, ResourceLookup resources, std::function<void()> getCPUz);

  // True only when the library was written by this call. Any failure is
  // reported in one line and kept in lastError.
  bool install(const QString& file);

  // "Library already exists", "Library not found." or an error number.
  const QString& lastError() const { return lastError_; }

 private:
  bool isOtherTool(const QString& name, const QString& file) const;

  PrintFn print_;
  ResourceLookup resources_;
  std::function<void()> getCPUz_;
  QString lastError_;
};

}  // namespace rootix::hardware
