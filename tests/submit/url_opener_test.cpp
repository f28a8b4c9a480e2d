#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include "gui/desktop_url_opener.h"
#include "platform/process_launcher.h"
#include "platform/xdg_url_opener.h"

namespace rootix::platform {
namespace {

class RecordingLauncher : public ProcessLauncher {
 public:
  QString program;
  QStringList args;
  bool starts = true;
  int64_t startDetached(const QString& p, const QStringList& a) override {
    program = p;
    args = a;
    return starts ? 4242 : 0;
  }
  void terminate(int64_t) override {}
};

const QUrl kPage = QUrl::fromLocalFile(QStringLiteral("/tmp/a folder/upload.html"));
const auto kDisplay = [] { return true; };

TEST(XdgUrlOpener, HandsTheAddressOverAsOneArgument) {
  RecordingLauncher launcher;
  XdgUrlOpener opener(launcher, QStringLiteral("sh"), kDisplay);  // any program that is surely installed
  ASSERT_TRUE(opener.open(kPage));
  EXPECT_TRUE(launcher.program.endsWith(QStringLiteral("/sh")));
  EXPECT_EQ(launcher.args, QStringList{"file:///tmp/a%20folder/upload.html"});
}

TEST(XdgUrlOpener, SaysWhyItCouldNotOpen) {
  RecordingLauncher launcher;
  launcher.starts = false;
  auto why = [](const Result<void>& r) { return r ? QStringLiteral("(opened)") : r.failure().text; };
  EXPECT_EQ(why(XdgUrlOpener(launcher, QStringLiteral("sh"), kDisplay).open(kPage)),
            QStringLiteral("sh could not be started"));
  EXPECT_EQ(why(XdgUrlOpener(launcher, QStringLiteral("rootix-no-such-opener"), kDisplay).open(kPage)),
            QStringLiteral("rootix-no-such-opener is not installed"));
  EXPECT_EQ(why(XdgUrlOpener(launcher, QStringLiteral("sh"), kDisplay).open(QUrl())),
            QStringLiteral("not a valid address"));
  launcher.starts = true;
  EXPECT_EQ(why(XdgUrlOpener(launcher, QStringLiteral("sh"), [] { return false; }).open(kPage)),
            QStringLiteral("no display to show a browser on"));
}

TEST(SilentProcessLauncher, StartsDetachedAndTellsAMissingProgram) {
  QTemporaryDir dir;
  const QString mark = dir.filePath(QStringLiteral("started"));
  SilentProcessLauncher launcher;
  ASSERT_TRUE(launcher.startDetached(QStringLiteral("/bin/sh"), {"-c", "touch \"$0\"", mark}));
  for (int i = 0; i < 200 && !QFile::exists(mark); ++i) QThread::msleep(10);
  EXPECT_TRUE(QFile::exists(mark));
  EXPECT_FALSE(launcher.startDetached(dir.filePath(QStringLiteral("missing")), {}));
}

TEST(DesktopUrlOpener, WithoutAGraphicalApplicationSaysSo) {
  // This program runs a QCoreApplication, as the terminal console does.
  const Result<void> opened = gui::DesktopUrlOpener().open(kPage);
  EXPECT_FALSE(opened);
  EXPECT_EQ(opened.failure().text, QStringLiteral("no graphical session to open it in"));
}

}  // namespace
}  // namespace rootix::platform
