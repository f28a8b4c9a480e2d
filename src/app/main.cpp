#include "app/application.h"
#include "platform/standard_descriptors.h"

int main(int argc, char** argv) {
  rootix::platform::openClosedStandardDescriptors();
  return rootix::app::run(argc, argv);
}
