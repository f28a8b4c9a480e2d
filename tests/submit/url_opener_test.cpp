#include <gtest/gtest.h>

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
  bool startDetached(const QString& p, const QStringList& a) override {
    program = p;
    args = a;
    return starts;
  }
};

const QUrl kPage = QUrl::fromLocalFile(QStringLiteral("/tmp/a folder/upload.html"));

TEST(XdgUrlOpener, HandsTheAddressOverAsOneArgument) {
  RecordingLauncher launcher;
  XdgUrlOpener opener(launcher, QStringLiteral("sh"));  // any program that is surely installed
  QString error;
  ASSERT_TRUE(opener.open(kPage, &error));
  EXPECT_TRUE(launcher.program.endsWith(QStringLiteral("/sh")));
  EXPECT_EQ(launcher.args, QStringList{"file:///tmp/a%20folder/upload.html"});
}

TEST(XdgUrlOpener, SaysWhyItCouldNotOpen) {
  RecordingLauncher launcher;
  launcher.starts = false;
  QString error;
  EXPECT_FALSE(XdgUrlOpener(launcher, QStringLiteral("sh")).open(kPage, &error));
  EXPECT_EQ(error, QStringLiteral("sh could not be started"));
  EXPECT_FALSE(XdgUrlOpener(launcher, QStringLiteral("rootix-no-such-opener")).open(kPage, &error));
  EXPECT_EQ(error, QStringLiteral("rootix-no-such-opener is not installed"));
  EXPECT_FALSE(XdgUrlOpener(launcher, QStringLiteral("sh")).open(QUrl(), &error));
  EXPECT_EQ(error, QStringLiteral("not a valid address"));
}

TEST(DesktopUrlOpener, WithoutAGraphicalApplicationSaysSo) {
  // This program runs a QCoreApplication, as the terminal console does.
  QString error;
  EXPECT_FALSE(gui::DesktopUrlOpener().open(kPage, &error));
  EXPECT_EQ(error, QStringLiteral("no graphical session to open it in"));
}

}  // namespace
}  // namespace rootix::platform
