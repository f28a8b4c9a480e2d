#include "app/usage.h"

#include <cstring>

#include "rootix/version.h"

namespace rootix::app {

const char* usageText() {
  return "Usage: rootix [--terminal] [-run=32M|-run=1024M [-repeat=N] [-save=PATH] [-exit=1]] [-json=PATH]\n"
         "              [WORD...]\n"
         "       rootix [--terminal] -stress=TEST:DURATION[:cycle] [-exit=1]\n"
         "       rootix --help | --version\n"
         "Rootix times how long this machine takes to compute the square roots of every\n"
         "whole number of a range, split across worker threads.\n"
         "\n"
         "  -run=32M, -run=1024M  after start-up run test 6 or test 11 in the console\n"
         "  -repeat=N             with -run=: N runs (1 to 1000), then their best, median, worst\n"
         "                        and spread\n"
         "  -save=PATH            with -run=: after the run write its score file to PATH\n"
         "  -json=PATH            append one JSON line per run (its time and conditions) to PATH\n"
         "  -stress=TEST:DURATION[:cycle]\n"
         "                        after start-up run the stability test on test 1..12 for\n"
         "                        DURATION (seconds, or 30s, 10m, 2h); cycle: one processor at a time\n"
         "  -exit=VALUE           with -run= or -stress=, any non-empty value: exit after the run\n"
         "  --terminal            use the terminal console even where a window could open\n"
         "  --help                show this text and exit\n"
         "  --version             show the version and exit\n"
         "Other words are left to a start-up script as $0, $1, ...\n"
         "\n"
         "Exit status:\n"
         "  0  the run completed successfully, or \"exit\" was typed\n"
         "  1  the run reported errors, the private temporary folder cannot be used,\n"
         "     or the -stress= value was refused\n"
         "  2  the run completed but the -save= score file was not written\n"
         "  3  another Rootix of this user is running\n"
         "  4  the stress test found errors\n"
         "  5  the stress test was stopped (Ctrl-C) without finding errors\n"
         "\n"
         "Type \"help\" in the console for its commands; the manual is rootix(1).\n";
}

const char* versionText() { return "rootix " ROOTIX_VERSION "\n"; }

std::optional<int> handleInfoSwitches(int argc, char** argv, std::FILE* out) {
  // The first of the two wins, as with most programs.
  for (int i = 1; i < argc; ++i) {
    const char* text = nullptr;
    if (std::strcmp(argv[i], "--help") == 0) text = usageText();
    if (std::strcmp(argv[i], "--version") == 0) text = versionText();
    if (!text) continue;
    const bool written = std::fputs(text, out) >= 0 && std::fflush(out) == 0;
    return written ? 0 : 1;
  }
  return std::nullopt;
}

}  // namespace rootix::app
