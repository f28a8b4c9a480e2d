// The build without the window (-DROOTIX_GUI=OFF): every start takes the
// terminal console, so the window face is never asked for.
#include <cstdlib>

#include "app/face.h"

namespace rootix::app {

bool windowFaceBuilt() { return false; }

std::unique_ptr<QCoreApplication> makeWindowApplication(int&, char**) { std::abort(); }

Face makeWindowFace() { std::abort(); }

}  // namespace rootix::app
