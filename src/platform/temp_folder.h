#pragma once

#include <QString>

namespace rootix::platform {

// Where temporary folders go: $TMPDIR when it names a folder, else /tmp.
// warning is set (one line, no line break) when TMPDIR is set but is not a
// folder, so start-up can say why /tmp is used.
struct TempBase {
  QString path;
  QString warning;
};
TempBase tempBase();

// The per-user temporary folder every subsystem writes its own files to:
// "rootix-<uid>" under tempBase(), created with owner-only permissions. A
// folder of that name owned by someone else, or open to others, is refused
// (RuntimeError kPermissionDenied): another user could otherwise plant files
// that Rootix later runs. The result ends in "/". Read fresh on every call,
// so tests can point TMPDIR elsewhere.
QString tempFolder();

// The same folder under base, whatever TMPDIR says.
QString privateFolderUnder(const QString& base);

// tempFolder(), checked once at start-up by writing a small file in it: a
// read-only or full folder is found here rather than in the middle of a run.
// Throws RuntimeError whose text names the folder and the reason.
QString checkedTempFolder();

}  // namespace rootix::platform
