#pragma once

#include <QString>

namespace rootix::platform {

// The per-user temporary folder every subsystem writes its own files to:
// "rootix-<uid>" under $TMPDIR (or the system temporary folder), created with
// owner-only permissions. A folder of that name owned by someone else, or
// open to others, is refused (RuntimeError kPermissionDenied): another user
// could otherwise plant files that Rootix later runs. The result ends in "/".
// Read fresh on every call, so tests can point TMPDIR elsewhere.
QString tempFolder();

}  // namespace rootix::platform
