#include <gtest/gtest.h>

#include <QList>

#include "gui/language.h"

namespace rootix::gui {
namespace {

struct TextCase {
  const char* key;
  const char* text;
};
void PrintTo(const TextCase& c, std::ostream* os) { *os << '"' << c.key << '"'; }

class LanguageText : public ::testing::TestWithParam<TextCase> {};

TEST_P(LanguageText, IsTheTableRow) {
  EXPECT_EQ(getText(QString::fromUtf8(GetParam().key)), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LanguageText,
    ::testing::Values(TextCase{"language-id", "English"}, TextCase{"button-13", "Browse"},
                      TextCase{"button-14", "Browse"}, TextCase{"button-3", "OK"}, TextCase{"button-5", "OK"},
                      TextCase{"button-7", "OK"}, TextCase{"button-16", "OK"},
                      TextCase{"button-15", "Set Thread Count"}, TextCase{"hardwareinfo-12", "Motherboard Vendor:"},
                      TextCase{"load-info", "Enter the path of the saved score that you wish to load.."},
                      TextCase{"loading1",
                               "Rootix is obtaining your hardware information with its own report tool.\r\n If you "
                               "want to cancel the hardware scan, hold shift."},
                      TextCase{"error-load--4", "Cannot load files created by beta versions."},
                      TextCase{"error-load-76", "Unable to open file."},
                      TextCase{"error-threadcount1", "Thread count must be numeric."},
                      // Keys that differ by case or a space, and codes without a row.
                      TextCase{"Button-0", ""}, TextCase{"button-0 ", ""}, TextCase{" welcome-title", ""},
                      TextCase{"error-load-0", ""}, TextCase{"error-load-5", ""}, TextCase{"button-18", ""},
                      TextCase{"hardwareinfo-13", ""}, TextCase{"", ""}));

TEST(Language, OnlySevenButtonsHaveAToolTip) {
  QList<int> withTip;
  for (int n = 0; n <= 17; ++n) {
    EXPECT_FALSE(getText(QStringLiteral("button-%1").arg(n)).isEmpty()) << n;
    if (!getText(QStringLiteral("button-%1-tooltip").arg(n)).isEmpty()) withTip << n;
  }
  EXPECT_EQ(withTip, (QList<int>{0, 1, 2, 3, 4, 10, 15}));
}

TEST(Language, SubmissionPageTextKeepsItsSpellingAndSupportAddressEndsTheHint) {
  EXPECT_TRUE(getText(u"upload-info").startsWith(u"Welcome to the Rootix on-line sumission form, to submit"));
  EXPECT_TRUE(getText(u"button-3-tooltip").endsWith(QStringLiteral(", at ") + QString::fromUtf16(kSupportAddress)));
}

}  // namespace
}  // namespace rootix::gui
