#pragma once

namespace rootix::platform {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Called
// first thing: otherwise the next descriptor opened (the event loop's own)
// takes number 0 and is read as standard input forever, or ours is written
// as standard output. A closed input then reads as its end.
void openClosedStandardDescriptors();

}  // namespace rootix::platform
