#include <gtest/gtest.h>

#include <QProcess>

#include "e2e.h"

namespace rootix::e2e {
namespace {

using testing::RootixSandbox;

// The window face: a display is announced, Qt draws offscreen, and the
// unattended run goes through the console window as it does on a desktop.
// Qt's plugin trace shows the platform the window face loaded; the terminal
// console loads none.
TEST(WindowFace, Run32MAndExitOffscreen) {
  RootixSandbox box;
  QProcessEnvironment env = box.environment();
  env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":99999"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("QT_DEBUG_PLUGINS"), QStringLiteral("1"));
  QProcess process;
  process.setProcessEnvironment(env);
  process.setWorkingDirectory(box.path(QString()));
  process.start(box.binary(), {QStringLiteral("-run=32M"), QStringLiteral("-exit=1")});
  ASSERT_TRUE(process.waitForStarted(10000));
  process.closeWriteChannel();
  testing::RootixRun run;
  run.finished = process.waitForFinished(kRunTimeoutMs);
  if (!run.finished) {
    process.kill();
    process.waitForFinished();
  }
  run.exitCode = process.exitCode();
  run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();

  ASSERT_TRUE(run.finished) << run.out.toStdString();
  EXPECT_TRUE(run.err.contains("libqoffscreen.so\" loaded library")) << "the window face did not start";
  expectCompleted32MRun(run);
  // The terminal face would say why no window opens; the window face is silent about it.
  EXPECT_FALSE(anyLineMatches(run.lines(), QStringLiteral("^No graphical window can open")));
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
}

}  // namespace
}  // namespace rootix::e2e
