#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/files.h"
#include "platform/runtime_error.h"
#include "platform/settings_store.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "support/error_of.h"

namespace rootix::platform {
namespace {

using rootix::testing::errorOf;

TEST(TextHelpers, GetBetweenAndAddSlash) {
  using text::getBetween;
  EXPECT_EQ(getBetween("-run=32M -exit=1", "-exit=", " "), "1");
  EXPECT_EQ(getBetween("-run=32M -exit=1", "-run=", " "), "32M");
  EXPECT_EQ(getBetween("-run=32M", "-save=", " "), "");
  EXPECT_EQ(getBetween("a x b x", "x", "x"), " b ");
  EXPECT_EQ(text::addSlash("/tmp"), "/tmp/");
  EXPECT_EQ(text::addSlash("/tmp/"), "/tmp/");
  EXPECT_EQ(text::addSlash(""), "/");
  EXPECT_EQ(text::trimSpaces("  a\tb  "), "a\tb");
}

TEST(TextHelpers, SingleByteRoundTrip) {
  QByteArray all;
  for (int c = 1; c < 256; ++c) all.append(static_cast<char>(c));
  EXPECT_EQ(text::toSingleByte(text::fromSingleByte(all)), all);
  EXPECT_EQ(text::toSingleByte(QStringLiteral("a\u20ACb")), QByteArray("a?b"));
}

TEST(TextHelpers, HtmlEscape) {
  struct Case {
    const char16_t* text;
    const char16_t* escaped;
  };
  const Case cases[] = {
      {u"", u""},
      {u"plain text \u00e9\u4e2d\t", u"plain text \u00e9\u4e2d\t"},
      {u"<b>x</b> & \"q\" 'r'", u"&lt;b&gt;x&lt;/b&gt; &amp; &quot;q&quot; &#39;r&#39;"},
      {u"&amp;", u"&amp;amp;"},  // escaped once more, never taken as escaped already
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text::htmlEscape(QString::fromUtf16(c.text)), QString::fromUtf16(c.escaped));
  }
}

class TempEnv : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    saved_ = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir_.path().toLocal8Bit());
  }
  void TearDown() override { qputenv("TMPDIR", saved_); }
  QString ourFolder() const { return dir_.path() + "/rootix-" + QString::number(::getuid()); }
  QTemporaryDir dir_;
  QByteArray saved_;
};

TEST_F(TempEnv, TempFolderIsPrivate) {
  const QString folder = tempFolder();
  EXPECT_EQ(folder, ourFolder() + "/");
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(ourFolder()).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(tempFolder(), folder);  // found again, not refused
}

TEST_F(TempEnv, TempFolderOpenToOthersOrALinkIsRefused) {
  ASSERT_TRUE(QDir().mkdir(ourFolder()));
  ::chmod(QFile::encodeName(ourFolder()).constData(), 0777);
  EXPECT_EQ(errorOf([] { tempFolder(); }), kPermissionDenied);

  ASSERT_TRUE(QDir().rmdir(ourFolder()));
  QTemporaryDir elsewhere;
  ASSERT_TRUE(QFile::link(elsewhere.path(), ourFolder()));
  EXPECT_EQ(errorOf([] { tempFolder(); }), kPermissionDenied);
}

TEST_F(TempEnv, FileErrorsHaveClassicNumbers) {
  const QString base = dir_.path();
  EXPECT_EQ(errorOf([&] { files::readAll(base + "/missing.txt"); }), kFileNotFound);
  EXPECT_EQ(errorOf([&] { files::readAll(base + "/no/such/file"); }), kPathNotFound);
  EXPECT_EQ(errorOf([&] { files::createNew(base + "/no/such/file", "y"); }), kPathNotFound);
  EXPECT_EQ(errorOf([&] { files::readAll(base); }), kPathFileAccessError);
  files::writeAtomic(base + "/big", QByteArray(100, 'x'));
  EXPECT_EQ(errorOf([&] { files::readAll(base + "/big", 99); }), kPathFileAccessError);
  EXPECT_EQ(files::readAll(base + "/big", 100).size(), 100);
  EXPECT_EQ(errorOf([&] { files::createNew(base + "/big", "y"); }), kFileAlreadyExists);
  EXPECT_EQ(errorOf([&] { files::writeAtomic(base + "/no/dir/x", "y"); }), kPathNotFound);
}

TEST_F(TempEnv, RemoveRespectsReadOnlyUnlessForced) {
  const QString path = dir_.path() + "/ro.ini";
  files::writeAtomic(path, "x", 0400);
  EXPECT_EQ(errorOf([&] { files::remove(path, false); }), kPermissionDenied);
  EXPECT_TRUE(files::exists(path));
  files::remove(path, true);
  EXPECT_FALSE(files::exists(path));
  EXPECT_EQ(errorOf([&] { files::remove(path, true); }), kFileNotFound);
}

TEST_F(TempEnv, SettingsStoreDefaultsToEmptyText) {
  const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
  IniSettingsStore store;
  EXPECT_EQ(store.get("rrrrr", "Rootix", "Stor_name"), "");
  store.set("rrrrr", "Rootix", "Stor_name", "alice");
  EXPECT_EQ(IniSettingsStore().get("rrrrr", "Rootix", "Stor_name"), "alice");
  store.remove("rrrrr", "Rootix", "Stor_name");
  EXPECT_EQ(store.get("rrrrr", "Rootix", "Stor_name"), "");
  EXPECT_TRUE(IniSettingsStore::fileFor("rrrrr").startsWith(dir_.path()));
  qputenv("XDG_CONFIG_HOME", savedConfig);
}

}  // namespace
}  // namespace rootix::platform
