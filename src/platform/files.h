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

// For writeAtomic: an existing file keeps its mode and owner, a new one gets
// 0666 less the umask.
inline constexpr int kKeepMode = -1;

// The one way Rootix writes a whole file. A regular file (or a new path) is
// written to a temporary name beside it, flushed and synced, renamed into
// place and its folder synced: on any failure the old file is untouched and
// the error is thrown, never reported as success. A symbolic link is followed
// to the file it names. A character or block device or a FIFO is written in
// place (so /dev/null stays a device); any other kind of node is refused
// with kPermissionDenied. With permissions other than kKeepMode the file ends
// with exactly those. Errors: kDiskFull for a full disk or quota,
// kPathNotFound, kPermissionDenied, kBadFileName, kPathFileAccessError.
void writeAtomic(const QString& path, const QByteArray& bytes, int permissions = kKeepMode);

// Creates a new file (0666 less the umask), synced like writeAtomic; fails
// with kFileAlreadyExists if one is there. A failed write leaves no file.
void createNew(const QString& path, const QByteArray& bytes);

// Deletes a file. With force, a read-only file is deleted too; without it a
// read-only file is refused with kPermissionDenied. Throws RuntimeError.
void remove(const QString& path, bool force);

}  // namespace rootix::platform::files
