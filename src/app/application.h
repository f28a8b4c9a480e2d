#pragma once

namespace rootix::app {

// The process entry: switches, the single-instance check, the console face,
// start-up and the event loop. Returns the process exit status.
int run(int argc, char** argv);

}  // namespace rootix::app
