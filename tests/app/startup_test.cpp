#include <gtest/gtest.h>

#include "app/controller.h"
#include "app/startup_script.h"

namespace rootix::app {
namespace {

TEST(Startup, ExpandArguments) {
  const QStringList args = {"a", "b"};
  EXPECT_EQ(ExpandArguments("echo $1", args), "echo b");
  EXPECT_EQ(ExpandArguments("echo $0$1$2", args), "echo ab$2");
  EXPECT_EQ(ExpandArguments("echo $10", args), "echo b0");
  EXPECT_EQ(ExpandArguments("echo $1", {"$0", "x"}), "echo x");
}

TEST(Startup, ExpansionStopsPastOneMebibyte) {
  // Each word names the next one twice: every pass doubles the line.
  QStringList doubling;
  for (int i = 1; i <= 40; ++i) doubling << QStringLiteral("$%1$%1").arg(i);
  doubling << QStringLiteral("x");
  EXPECT_EQ(ExpandArguments("$0", doubling), std::nullopt);

  const QStringList big{QString(kMaxExpandedLine - 2, u'x')};
  EXPECT_EQ(ExpandArguments("ab$0", big)->size(), kMaxExpandedLine);  // exactly at the bound
  EXPECT_EQ(ExpandArguments("abc$0", big), std::nullopt);

  // A line that stays short enough but is read once for each of very many
  // words: "$1$2...$N" with N words that never shrink it.
  QString many;
  QStringList words{QString()};
  for (int i = 1; i <= 100000; ++i) {
    many += u'$' + QString::number(i);
    words << QStringLiteral("$$");
  }
  EXPECT_EQ(ExpandArguments(many, words), std::nullopt);
}

TEST(Startup, ScriptFollowsAWholeMarkerLine) {
  struct Case {
    QByteArray image;
    std::optional<QStringList> script;
  };
  const Case cases[] = {
      {"\x7f"
       "ELF...\n#CUSTOM_DATA#\necho a\r\n\nst 6\n",
       QStringList{"echo a", "", "st 6"}},
      {"#CUSTOM_DATA#\r\necho a", QStringList{"echo a"}},
      {"bin\n#CUSTOM_DATA#", QStringList{}},
      {"bin #CUSTOM_DATA#\necho a\n", std::nullopt},
      {"bin\n#CUSTOM_DATA#x\necho a\n", std::nullopt},
      {QByteArray("bin\n#CUSTOM_DATA#\0\n", 19), std::nullopt},
      {"plain binary", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(extractStartupScript(c.image), c.script) << c.image.constData();
}

TEST(Startup, Switches) {
  struct Case {
    const char* line;
    const char* run;
    const char* save;
    bool exit;
    const char* stress = "";
  };
  const Case cases[] = {
      {"-run=32M -exit=1 -save=/tmp/o.txt", "32M", "/tmp/o.txt", true},
      {"-save=x -exit=1", "", "", false},
      {"-run=32m", "32m", "", false},
      {"-run=1024M -exit=", "1024M", "", false},
      // The stress test is a run mode of its own: -exit= counts, -save= has no run to mark.
      {"-stress=11:10m -exit=1 -save=/tmp/o.txt", "", "", true, "11:10m"},
      {"-exit=1 -stress=6:30s:cycle", "", "", true, "6:30s:cycle"},
  };
  for (const Case& c : cases) {
    const Switches s = Switches::parse(c.line, false);
    EXPECT_EQ(s.runTest, c.run) << c.line;
    EXPECT_EQ(s.stress, c.stress) << c.line;
    EXPECT_EQ(s.savePath, c.save) << c.line;
    EXPECT_EQ(s.exitAfterRun, c.exit) << c.line;
    EXPECT_TRUE(s.terminal);
  }
  EXPECT_FALSE(Switches::parse("-run=32M", true).terminal);
  EXPECT_TRUE(Switches::parse("a --terminal", true).terminal);
}

}  // namespace
}  // namespace rootix::app
