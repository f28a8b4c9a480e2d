#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "../scores/score_test_support.h"
#include "gui/language.h"
#include "scores/score_book.h"
#include "submit/server_address.h"
#include "submit/submit_commands.h"
#include "submit_test_support.h"
#include "support/shell_harness.h"

namespace rootix::submit {
namespace {

struct SubmitShell {
  explicit SubmitShell(bool printPath = true, bool withHardware = true) {
    if (withHardware) hardware = scores::testdata::sampleHardware();
    registerSubmitCommands(h.interp.commands(),
                           {h.scoreBook, hardware, server, opener, &gui::getText, [this] { return dir.path() + u'/'; },
                            [this](const QString& line) { h.console.PrintLn(line); }, printPath});
  }
  QStringList run(const QStringList& typed) {
    QStringList out = h.run(typed);
    if (!out.isEmpty() && out.back() == u"exit") out.removeLast();
    for (QString& line : out) line.replace(dir.path(), QStringLiteral("%D"));
    return out;
  }

  rootix::testing::ShellHarness h;
  scores::HardwareSummary hardware;
  ServerAddress server{QString()};
  testing::FakeOpener opener;
  QTemporaryDir dir;
};

TEST(ServerCommands, HserverSetsWhatGethserverPrints) {
  SubmitShell s;
  EXPECT_EQ(s.run({"gethserver", "hserver", "hserver ", "hserver x", "gethserver", "hserver   http://h:1/  "}),
            (QStringList{"", "hserver", "No server set, syntax: hserver <server>", "hserver ",
                         "No server set, syntax: hserver <server>", "hserver x", "Server set to: x", "gethserver", "x",
                         "hserver   http://h:1/  ", "Server set to: http://h:1/"}));
  EXPECT_EQ(s.server.base(), QStringLiteral("http://h:1"));
}

struct UploadCase {
  const char* name;
  bool printPath;
  bool withHardware;
  QString openerFails;
  QStringList typed;
  QStringList printed;  // %D is the temporary folder
  int opened;
};
void PrintTo(const UploadCase& c, std::ostream* os) { *os << c.name; }

const UploadCase kUploadCases[] = {
    {"TerminalPrintsThePath", true, true, {}, {"upload 1"}, {"Submission page: %D/upload.html"}, 1},
    {"WindowConsolePrintsNothing", false, true, {}, {"upload 1"}, {}, 1},
    {"IndexOutsideTheList",
     true,
     true,
     {},
     {"upload 0", "upload 2", "upload", "upload 1e9"},
     {"Error occured: 9.", "upload 2", "Error occured: 9.", "upload", "Error occured: 9.", "upload 1e9",
      "Error occured: 6."},
     0},
    {"NoHardware",
     true,
     false,
     {},
     {"upload 1"},
     {"Sorry but you cannot upload a score which has no associated hardware."},
     0},
    {"OpenerFails",
     false,
     true,
     QStringLiteral("no display"),
     {"upload 1"},
     {"Could not open the submission page in a browser: no display. The page is %D/upload.html"},
     1},
};

class UploadCommand : public ::testing::TestWithParam<UploadCase> {};

TEST_P(UploadCommand, PrintsExactly) {
  const UploadCase& c = GetParam();
  SubmitShell s(c.printPath, c.withHardware);
  s.opener.failWith = c.openerFails;
  // The record of a run becomes score 1 on the first upload.
  s.h.scoreBook.records().setRecord(6, 12.345);
  EXPECT_EQ(s.run(c.typed), c.printed);
  EXPECT_EQ(s.opener.opened.size(), c.opened);
  EXPECT_EQ(s.h.scoreBook.list().count(), 1);
  EXPECT_EQ(s.h.scoreBook.records().getRecord(6), 0);
}

INSTANTIATE_TEST_SUITE_P(Upload, UploadCommand, ::testing::ValuesIn(kUploadCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rootix::submit
