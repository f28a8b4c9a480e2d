#include "platform/process_launcher.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace rootix::platform {
namespace {

// Gone, or a zombie waiting for whoever adopted it.
bool ended(int64_t pid) {
  QFile stat(QStringLiteral("/proc/") + QString::number(pid) + QStringLiteral("/stat"));
  if (!stat.open(QIODevice::ReadOnly)) return true;
  const QByteArray text = stat.readAll();
  const qsizetype close = text.lastIndexOf(')');
  return close >= 0 && text.mid(close + 2, 1) == "Z";
}

bool endsWithin(int64_t pid, int ms) {
  QElapsedTimer t;
  t.start();
  while (!ended(pid)) {
    if (t.elapsed() > ms) return false;
    QThread::msleep(20);
  }
  return true;
}

// The other processes of pid's group.
QList<int64_t> groupOf(int64_t pid) {
  const pid_t group = ::getpgid(static_cast<pid_t>(pid));
  QList<int64_t> members;
  for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool ok = false;
    const int64_t id = entry.toLongLong(&ok);
    if (ok && ::getpgid(static_cast<pid_t>(id)) == group && id != pid) members << id;
  }
  return members;
}

TEST(QtProcessLauncher, TerminateEndsTheProgramAndWhatItStarted) {
  QTemporaryDir dir;
  const QString tool = dir.filePath(QStringLiteral("hung-tool"));
  QFile script(tool);
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write("#!/bin/sh\nsleep 60 &\nsleep 60\n");
  script.close();
  script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

  QtProcessLauncher launcher;
  const int64_t pid = launcher.startDetached(tool, {QStringLiteral("-txt=out")});
  ASSERT_GT(pid, 0);
  QList<int64_t> children;
  for (int i = 0; i < 100 && children.size() < 2; ++i) {
    QThread::msleep(20);
    children = groupOf(pid);
  }
  ASSERT_EQ(children.size(), 2) << "the script's two sleeps";
  launcher.terminate(pid);
  EXPECT_TRUE(endsWithin(pid, 3000));
  for (int64_t child : children) EXPECT_TRUE(endsWithin(child, 3000)) << child;
}

TEST(QtProcessLauncher, LeavesAloneWhatItDidNotStart) {
  QProcess other;
  other.start(QStringLiteral("/bin/sleep"), {QStringLiteral("60")});
  ASSERT_TRUE(other.waitForStarted());
  QtProcessLauncher launcher;
  launcher.terminate(other.processId());
  EXPECT_FALSE(other.waitForFinished(300));

  other.kill();
  other.waitForFinished();
}

}  // namespace
}  // namespace rootix::platform
