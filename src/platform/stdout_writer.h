#pragma once

#include <QByteArray>

namespace rootix::platform {

// Writes to the process's standard output; failures (no standard output,
// a closed pipe) are ignored.
void writeStdOut(const QByteArray& bytes);

// True when standard input / output is a terminal.
bool stdinIsTerminal();
bool stdoutIsTerminal();

// True when a display is available (DISPLAY or WAYLAND_DISPLAY set).
bool displayAvailable();

}  // namespace rootix::platform
