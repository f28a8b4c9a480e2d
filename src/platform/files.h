#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// File operations with classic error numbers (RuntimeError) instead of
// silent failure.
namespace rootix::platform::files {

bool exists(const QString& path);  // a file (not a folder) is there

// Reads a whole file of at most maxBytes. Throws RuntimeError: kFileNotFound,
// kPathNotFound, kPermissionDenied, kPathFileAccessError (a folder, or larger
// than maxBytes).
QByteArray readAll(const QString& path, int64_t maxBytes = int64_t{64} << 20);

// Writes bytes to a temporary name beside path and renames it into place, so
// a reader never sees half a file. Throws RuntimeError on failure.
void writeAtomic(const QString& path, const QByteArray& bytes, int permissions = 0600);

// Creates a new file; fails with kFileAlreadyExists if one is there.
void createNew(const QString& path, const QByteArray& bytes);

// Deletes a file. With force, a read-only file is deleted too; without it a
// read-only file is refused with kPermissionDenied. Throws RuntimeError.
void remove(const QString& path, bool force);

}  // namespace rootix::platform::files
