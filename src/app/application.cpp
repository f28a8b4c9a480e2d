#include "app/application.h"

namespace rootix::app {

int run(int, char**) { return 0; }

}  // namespace rootix::app
