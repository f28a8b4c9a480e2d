#include <gtest/gtest.h>

#include "server/form.h"

namespace rootix::server {
namespace {

TEST(Form, FieldsAreDecodedToTheirBytes) {
  const auto fields = parseForm("data=a%2Bb+c%0D%0A%FF&title=&link&title=second&%zz=1&=empty");
  EXPECT_EQ(fields.value("data"), QByteArray("a+b c\r\n\xff"));
  EXPECT_TRUE(fields.contains("title"));
  EXPECT_EQ(fields.value("title"), "") << "the first of repeated fields wins";
  EXPECT_TRUE(fields.contains("link"));
  EXPECT_EQ(fields.value("%zz"), "1") << "a malformed escape stays as sent";
  EXPECT_EQ(fields.value(""), "empty");
}

TEST(Form, Windows1252TextBecomesCharacters) {
  const struct {
    QByteArray bytes;
    QString text;
  } cases[] = {
      {"plain", QStringLiteral("plain")},
      {"\x80\x9f\xe9\xff", QStringLiteral("\u20ac\u0178\u00e9\u00ff")},
      {"\x81\x8d", QStringLiteral("\u0081\u008d")},                        // unassigned: the same code
      {"&#8364; &#x1F600; &#60;", QStringLiteral("\u20ac \U0001F600 <")},  // what the code page lacks
      {"&#0; &#xD800; &#99999999; &#; &#12", QStringLiteral("&#0; &#xD800; &#99999999; &#; &#12")},
  };
  for (const auto& c : cases) EXPECT_EQ(fromWindows1252(c.bytes), c.text) << c.bytes.toStdString();
}

TEST(Form, TypedFieldsFromAUtf8PageAreReadAsUtf8) {
  EXPECT_EQ(formText("caf\xc3\xa9 \xe2\x82\xac"), QStringLiteral("caf\u00e9 \u20ac"));
  EXPECT_EQ(formText("caf\xe9"), QStringLiteral("caf\u00e9")) << "not UTF-8: windows-1252";
  EXPECT_EQ(formText("\xc3"), QStringLiteral("\u00c3")) << "a cut sequence is not UTF-8";
  EXPECT_EQ(formText("plain &#8364;"), QStringLiteral("plain \u20ac"));
}

}  // namespace
}  // namespace rootix::server
