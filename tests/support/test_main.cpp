#include <gtest/gtest.h>

#include <QCoreApplication>

// Every test program gets an application object, so event loops, timers and
// queued calls work as they do in Rootix.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
