#pragma once

#include "hardware/waiter.h"

namespace rootix::platform {
class Dialogs;
class SettingsStore;
}  // namespace rootix::platform

namespace rootix::hardware {

// Removes the two per-user settings and the library files this program and
// its earlier versions leave in the temporary folder, one line for each.
// Deletes without force: a read-only file stops it, with the platform's
// description of the error as the last line.
void CleanUp(const PrintFn& print, platform::SettingsStore& settings, platform::Dialogs& dialogs);

}  // namespace rootix::hardware
