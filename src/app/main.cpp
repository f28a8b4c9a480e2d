#include "app/application.h"

int main(int argc, char** argv) { return rootix::app::run(argc, argv); }
