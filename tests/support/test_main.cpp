#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>

#ifdef ROOTIX_TEST_WIDGETS
#include <QApplication>
#endif

// Every test program gets an application object, so event loops, timers and
// queued calls work as they do in Rootix; widget tests get a QApplication.
int main(int argc, char** argv) {
#ifdef ROOTIX_TEST_WIDGETS
  // Headless unless told otherwise (test discovery runs without ctest's environment).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
#else
  QCoreApplication app(argc, argv);
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
