#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "../scores/score_test_support.h"
#include "gui/language.h"
#include "platform/runtime_error.h"
#include "platform/text.h"
#include "scores/score.h"
#include "submit/score_upload.h"
#include "submit/server_address.h"
#include "submit_test_support.h"

namespace rootix::submit {
namespace {

using scores::HardwareSummary;
using scores::Score;
using testing::FakeOpener;
using testing::parsePage;
using testing::unscrambledFor;

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every code a score made on this machine can hold in a hardware text,
// except the two whose scrambled form is a lone line break (3 and 6).
QString everyStorableCode() {
  QString s;
  for (int code = 1; code <= 255; ++code) {
    if (code != 3 && code != 6 && code != '\r' && code != '\n') s += QChar(static_cast<char16_t>(code));
  }
  return s;
}

struct HardwareCase {
  const char* name;
  std::function<void(HardwareSummary&)> edit;
};
void PrintTo(const HardwareCase& c, std::ostream* os) { *os << c.name; }

const HardwareCase kHardwareCases[] = {
    {"Plain", [](HardwareSummary&) {}},
    {"MarkupInTheText",
     [](HardwareSummary& h) {
       h.score_extra_mbModel = QStringLiteral("</textarea><script>alert(\"x\")</script>");
       h.score_extra_mbVendor = QStringLiteral("A & B \"quoted\" 'single' &amp;");
       h.score_extra_cpu_core = QStringLiteral("!!DATA!! !!Title!!");
     }},
    // Scrambling shifts every code, so these texts are chosen to come out
    // as markup and placeholders in the scrambled text the page carries.
    {"MarkupInTheScrambledText",
     [](HardwareSummary& h) {
       h.score_extra_mbModel = unscrambledFor("</textarea><script>alert(1)</script>");
       h.score_extra_mbVendor = unscrambledFor("&amp; & \"q\" 'q' <!-- x");
     }},
    {"PlaceholdersInTheScrambledText",
     [](HardwareSummary& h) {
       h.score_extra_mbModel = unscrambledFor("!!DATA!!");
       h.score_extra_cpu_core = unscrambledFor("!!Title!!!!UploadInfo!!");
       h.score_extra_cpu_rev = unscrambledFor("!!Server!!!!Link!!");
     }},
    {"EveryByteAbove127",
     [](HardwareSummary& h) {
       QString high;
       for (int code = 121; code <= 255; ++code)
         high += QChar(static_cast<char16_t>(code));  // scrambled 128..255, 1..7
       h.score_extra_mbModel = high;
     }},
    {"EveryStorableCode", [](HardwareSummary& h) { h.score_extra_cpu_core = everyStorableCode(); }},
};

class PageCarriesScore : public ::testing::TestWithParam<HardwareCase> {};

TEST_P(PageCarriesScore, FormFieldsAndTextByteForByte) {
  HardwareSummary hw = scores::testdata::sampleHardware();
  GetParam().edit(hw);
  const Score score = Score::Create(12.345, 6, hw);
  const QString base = QStringLiteral("http://results.example:8080");
  const QByteArray data = text::toSingleByte(score.toString(false));

  const QByteArray page = renderUploadPage(base, PageTexts::from(&gui::getText), data);
  const auto parsed = parsePage(page);

  ASSERT_TRUE(parsed.textareaWellFormed);
  EXPECT_EQ(parsed.textareaBytes, data);
  EXPECT_LT(page.indexOf("<meta charset=\"windows-1252\">"), 1024);  // where the browser looks for it

  const auto forms = parsed.tagsNamed(QStringLiteral("form"));
  ASSERT_EQ(forms.size(), 1);
  EXPECT_EQ(forms[0].attributes.value(QStringLiteral("action")), base + QStringLiteral("/?q=submit"));
  EXPECT_EQ(forms[0].attributes.value(QStringLiteral("method")), QStringLiteral("post"));

  const auto textareas = parsed.tagsNamed(QStringLiteral("textarea"));
  ASSERT_EQ(textareas.size(), 1);
  EXPECT_EQ(textareas[0].attributes.value(QStringLiteral("name")), QStringLiteral("data"));
  EXPECT_TRUE(textareas[0].attributes.value(QStringLiteral("style")).contains(u"visibility:hidden"));

  // The posted fields, in order: the text inputs, then the unnamed button.
  QStringList inputs;
  for (const auto& t : parsed.tagsNamed(QStringLiteral("input"))) {
    inputs << t.attributes.value(QStringLiteral("name")) + u'/' + t.attributes.value(QStringLiteral("maxlength")) +
                  u'/' + t.attributes.value(QStringLiteral("type")) + u'/' +
                  t.attributes.value(QStringLiteral("value"));
  }
  EXPECT_EQ(inputs, (QStringList{"title/50/text/", "description/255/text/", "link/255/text/", "//submit/Upload"}));

  QStringList pictures;
  for (const auto& t : parsed.tagsNamed(QStringLiteral("img"))) pictures << t.attributes.value(QStringLiteral("src"));
  EXPECT_EQ(pictures, (QStringList{base + "/jpg/rootix/rootixtitle.jpg", base + "/jpg/rootix/hwbottitle.jpg",
                                   base + "/jpg/rootix/circle-gray.jpg"}));

  for (const char* placeholder :
       {"!!DATA!!", "!!UploadInfo!!", "!!Upload!!", "!!Title!!", "!!Link!!", "!!Description!!", "!!Server!!"}) {
    EXPECT_FALSE(parsed.outsideTextarea.contains(placeholder)) << placeholder;
  }
  EXPECT_TRUE(parsed.outsideTextarea.contains(">Title:<"));
  EXPECT_TRUE(parsed.outsideTextarea.contains("on-line sumission form"));
}

INSTANTIATE_TEST_SUITE_P(Hardware, PageCarriesScore, ::testing::ValuesIn(kHardwareCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UploadPage, AddressAndCaptionsAreEscapedToo) {
  PageTexts texts{QStringLiteral("<b>info</b> \u20ac \u65e5"), QStringLiteral("Up\"load"), QStringLiteral("T&"),
                  QStringLiteral("L"), QStringLiteral("!!DATA!!")};
  const QByteArray page = renderUploadPage(QStringLiteral("http://h/a\"b<c&d"), texts, "Y");
  const auto parsed = parsePage(page);
  EXPECT_EQ(parsed.tagsNamed(QStringLiteral("form")).value(0).attributes.value(QStringLiteral("action")),
            QStringLiteral("http://h/a\"b<c&d/?q=submit"));
  EXPECT_TRUE(page.contains("&lt;b&gt;info&lt;/b&gt; &#8364; &#26085;"));
  EXPECT_TRUE(page.contains("value=\"Up&quot;load\""));
  EXPECT_TRUE(page.contains(">T&amp;<"));
  // A caption is never searched for placeholders either.
  EXPECT_TRUE(page.contains(">!!DATA!!<"));
  EXPECT_EQ(parsed.textareaBytes, "Y");
}

// A score made by a run since start: its conditions go as one more hidden
// field after "link", said in plain words under the form.
TEST(UploadPage, ConditionsFieldAfterLinkAndItsWords) {
  const QByteArray conditions =
      R"({"kernel":"AVX2/fma","threads":4,"conditions":{"processor":"Ryzen <7> & \"X\"","codename":"Vermeer",)"
      R"("logical_cpus":16,"hypervisor":"KVM","governor":null,"kernel_release":"6.1.0"}})";
  const QByteArray page = renderUploadPage(QStringLiteral("http://h"), PageTexts::from(&gui::getText), "Y", conditions);
  const auto parsed = parsePage(page);
  QStringList names;
  for (const auto& t : parsed.tagsNamed(QStringLiteral("input"))) names << t.attributes.value(QStringLiteral("name"));
  EXPECT_EQ(names, (QStringList{"title", "description", "link", "conditions", ""}));
  const auto field = parsed.tagsNamed(QStringLiteral("input")).at(3);
  EXPECT_EQ(field.attributes.value(QStringLiteral("type")), QStringLiteral("hidden"));
  EXPECT_EQ(field.attributes.value(QStringLiteral("value")).toLatin1(), conditions) << "the JSON comes back unchanged";
  const qsizetype formEnd = page.indexOf("</form>");
  const qsizetype words = page.indexOf(
      "With this score the form also sends how its run was made: the processor "
      "Ryzen &lt;7&gt; &amp; &quot;X&quot; (Vermeer), 4 threads on 16 logical "
      "processors, the kernel AVX2/fma, a virtual machine under KVM, the governor "
      "unknown,");
  EXPECT_GT(words, formEnd) << "under the form";
  // Without conditions the page is the one it always was.
  const QByteArray plain = renderUploadPage(QStringLiteral("http://h"), PageTexts::from(&gui::getText), "Y");
  EXPECT_FALSE(plain.contains("conditions"));
  EXPECT_FALSE(plain.contains("!!"));
}

TEST(FormChanges, LoneLineBreaksAndNulAreFound) {
  const struct {
    QByteArray text;
    qsizetype first;
  } cases[] = {
      {"", -1},        {"abc\x7f\x80\xff", -1},
      {"a\r\nb", -1},  {"\r\n\r\n", -1},
      {"a\rb", 1},     {"a\nb", 1},
      {"\n", 0},       {"ab\r", 2},
      {"\n\r", 0},     {QByteArray("a\0b", 3), 1},
      {"a\r\n\rb", 3},
  };
  for (const auto& c : cases) EXPECT_EQ(firstByteFormChanges(c.text), c.first) << c.text.toHex().constData();
}

class UploadScore : public ::testing::Test {
 protected:
  // A space in the folder: the opener gets it as one address all the same.
  QString folder() const { return dir.path() + QStringLiteral("/with space/"); }
  UploadServices services() {
    QDir().mkpath(folder());
    return {server, opener, &gui::getText, [this] { return folderOverride.isEmpty() ? folder() : folderOverride; }};
  }
  Score sample(double seconds = 12.345) const { return Score::Create(seconds, 6, scores::testdata::sampleHardware()); }

  QTemporaryDir dir;
  ServerAddress server{QStringLiteral("http://127.0.0.1:9/")};
  FakeOpener opener;
  QString folderOverride;
};

TEST_F(UploadScore, WritesThePageAndOpensIt) {
  const Result<QString> r = uploadScore(sample(), services());
  ASSERT_TRUE(r) << r.failure().text.toStdString();
  EXPECT_EQ(*r, folder() + QStringLiteral("upload.html"));
  ASSERT_EQ(opener.opened.size(), 1);
  EXPECT_EQ(opener.opened[0].toLocalFile(), *r);
  const auto parsed = parsePage(readFile(*r));
  EXPECT_EQ(parsed.textareaBytes, text::toSingleByte(sample().toString(false)));
  EXPECT_EQ(parsed.tagsNamed(QStringLiteral("form")).value(0).attributes.value(QStringLiteral("action")),
            QStringLiteral("http://127.0.0.1:9/?q=submit"));
}

TEST_F(UploadScore, SecondUploadReplacesTheFirstAndLeavesNothingElse) {
  ASSERT_TRUE(uploadScore(sample(1.5), services()));
  const Result<QString> r = uploadScore(sample(2.5), services());
  ASSERT_TRUE(r);
  EXPECT_EQ(parsePage(readFile(*r)).textareaBytes, text::toSingleByte(sample(2.5).toString(false)));
  EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"upload.html"});
}

TEST_F(UploadScore, FolderThatCannotBeWritten) {
  // A folder below a plain file fails even for root.
  QFile(dir.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly);
  folderOverride = dir.filePath(QStringLiteral("file")) + QStringLiteral("/sub/");
  const Result<QString> r = uploadScore(sample(), services());
  EXPECT_FALSE(r);
  EXPECT_TRUE(r.failure().text.startsWith(QStringLiteral("Could not write the submission page ") + folderOverride +
                                          QStringLiteral("upload.html: ")))
      << r.failure().text.toStdString();
  EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(UploadScore, FolderRefused) {
  UploadServices s = services();
  s.folder = []() -> QString { throw RuntimeError(kPermissionDenied, "temporary folder /x is not private"); };
  const Result<QString> r = uploadScore(sample(), s);
  EXPECT_FALSE(r);
  EXPECT_EQ(r.failure(), (Failure{kPermissionDenied, QStringLiteral("The temporary folder cannot be used: temporary "
                                                                    "folder /x is not private.")}));
}

TEST_F(UploadScore, OpenerThatFailsKeepsThePageAndSaysWhere) {
  opener.failWith = QStringLiteral("xdg-open is not installed");
  const Result<QString> r = uploadScore(sample(), services());
  EXPECT_FALSE(r);
  const QString page = folder() + QStringLiteral("upload.html");
  EXPECT_EQ(r.failure().text,
            QStringLiteral("Could not open the submission page in a browser: xdg-open is not installed. "
                           "The page is ") +
                page);
  EXPECT_TRUE(QFile::exists(page));
}

TEST_F(UploadScore, RefusedBeforeAnythingIsWritten) {
  HardwareSummary strayControl = scores::testdata::sampleHardware();
  strayControl.score_extra_mbModel = QStringLiteral("board\x03");  // scrambles to a lone LF
  HardwareSummary badClock = scores::testdata::sampleHardware();
  badClock.score_extra_cpu_clock = QStringLiteral("99999999999 MHz");  // no checksum can be formed

  const struct {
    const char* name;
    Score score;
    QString server;
    QString error;
  } cases[] = {
      {"StrayControlCode", Score::Create(1, 6, strayControl), QStringLiteral("http://h"),
       QStringLiteral("This score holds control characters that a web form would change, so it cannot be uploaded.")},
      {"NoChecksum", Score::Create(1, 6, badClock), QStringLiteral("http://h"),
       QStringLiteral("This score cannot be written as text: error 6.")},
      {"NotHttp", sample(), QStringLiteral("ftp://h"),
       QStringLiteral("The result server address \"ftp://h\" cannot be used: only http:// and https:// addresses "
                      "can receive the form.")},
  };
  for (const auto& c : cases) {
    server.setSession(c.server);
    const Result<QString> r = uploadScore(c.score, services());
    EXPECT_FALSE(r) << c.name;
    EXPECT_EQ(r.failure().text, c.error) << c.name;
    EXPECT_FALSE(QFile::exists(folder() + QStringLiteral("upload.html"))) << c.name;
  }
  EXPECT_TRUE(opener.opened.isEmpty());
}

}  // namespace
}  // namespace rootix::submit
