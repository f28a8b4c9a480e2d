#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

#include "console/records.h"

namespace rootix::console {

// The main window's public state that several subsystems read or set.
struct ShellState {
  // Start-up switches.
  QString runTest;        // value of -run=
  bool runMode = false;
  QString savePath;       // value of -save= (run mode only)
  bool exitAfterRun = false;
  QStringList cmdArgs;    // the command line split at every single space

  int16_t threads = 0;    // worker count, 1..4096 (0 until set)
  bool running = false;   // a test is running
  bool quickMode = false; // "qm"
  bool cache = false;     // "tc"
  bool revertToGui = false;
  bool subHttp = false;
  QString storName;       // submit name
  Records records;

  // Exit status of the process when it ends: non-zero after a run that
  // reported errors, so automation can tell.
  int exitStatus = 0;
};

}  // namespace rootix::console
