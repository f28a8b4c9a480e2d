#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "gui/button_label.h"
#include "gui/graphical_window.h"
#include "gui/language.h"
#include "gui/picture.h"
#include "gui/plain_text.h"
#include "gui/score_browser.h"
#include "recording_host.h"
#include "scores/score_test_support.h"
#include "support/shell_harness.h"
#include "window_driver.h"

namespace rootix::gui {
namespace {

using testing::click;
using testing::hover;
using testing::press;
using Input = testing::RecordingHost::Input;

const QString kGray = QStringLiteral(":/gui/pictures/bullet-gray.svg");
const QString kBlue = QStringLiteral(":/gui/pictures/bullet-blue.svg");

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.summary = scores::testdata::sampleHardware();
    window.show();
  }

  // The pages that are open, from the top of the stack.
  QStringList openPages() const {
    QStringList open;
    const std::pair<const char*, QWidget*> pages[] = {{"error", window.fraError()},    {"threads", window.fraThreads()},
                                                      {"load", window.fraLoad()},      {"save", window.fraSave()},
                                                      {"scores", window.fraScores()},  {"hardware", window.fraHW()},
                                                      {"loading", window.fraLoading()}};
    for (const auto& [name, page] : pages) {
      if (!page->isHidden()) open << QString::fromLatin1(name);
    }
    return open;
  }

  testing::RecordingHost host;
  rootix::testing::FakeDialogs dialogs;
  GraphicalWindow window{host, &dialogs};
};

TEST_F(WindowTest, StartsWithEveryCaptionGrayButtonsAndTheWelcome) {
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Rootix Benchmark v2.11"));
  EXPECT_EQ(window.size(), QSize(560, 290));  // 8400 x 4350 twips at 96 DPI
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  for (int n = 0; n < GraphicalWindow::kButtons; ++n) {
    EXPECT_EQ(window.lblButton(n)->text(), getText(QStringLiteral("button-%1").arg(n))) << n;
    EXPECT_EQ(window.imgButton(n)->resource(), kGray) << n;
    EXPECT_FALSE(window.lblButton(n)->highlighted()) << n;
  }
  for (int r = 0; r < GraphicalWindow::kInfoRows; ++r)
    EXPECT_EQ(window.lblInfo(r)->text(), getText(QStringLiteral("hardwareinfo-%1").arg(r)));
  EXPECT_TRUE(window.fraToolTip()->isVisible());
  EXPECT_EQ(window.fraToolTip()->title(), QStringLiteral("Welcome"));
  EXPECT_EQ(window.lblToolTip()->text(), getText(u"welcome-msg"));
  EXPECT_EQ(window.txtThreadCount()->text(), QStringLiteral("4"));
  EXPECT_TRUE(openPages().isEmpty());
  EXPECT_FALSE(window.tmrload()->isActive());
}

TEST_F(WindowTest, PagesStackWithTheErrorBoxOnTop) {
  // Children paint in list order: later ones lie above earlier ones.
  const QObjectList& order = window.children();
  const QWidget* fromTop[] = {window.fraError(),  window.fraThreads(), window.fraLoad(),    window.fraSave(),
                              window.fraScores(), window.fraHW(),      window.fraLoading(), window.fraToolTip()};
  for (size_t i = 1; i < std::size(fromTop); ++i)
    EXPECT_GT(order.indexOf(fromTop[i - 1]), order.indexOf(fromTop[i])) << i;
}

struct HoverCase {
  const char* name;
  std::function<void(GraphicalWindow&)> before;
  int button;  // -1: the window's background, -2: the title picture
  bool panelShown;
  QString title;
  QString text;
};
void PrintTo(const HoverCase& c, std::ostream* os) { *os << c.name; }

class HoverTest : public WindowTest, public ::testing::WithParamInterface<HoverCase> {};

TEST_P(HoverTest, FillsOrHidesThePanel) {
  const HoverCase& c = GetParam();
  if (c.before) c.before(window);
  if (c.button == -1) {
    hover(&window);
  } else if (c.button == -2) {
    hover(window.image2());
  } else {
    hover(window.lblButton(c.button));
  }
  EXPECT_EQ(window.fraToolTip()->isVisibleTo(&window), c.panelShown);
  if (c.panelShown) {
    EXPECT_EQ(window.fraToolTip()->title(), c.title);
    EXPECT_EQ(window.lblToolTip()->text(), c.text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    ToolTips, HoverTest,
    ::testing::Values(HoverCase{"HardwareInfo", {}, 2, true, "", getText(u"button-2-tooltip")},
                      HoverCase{"Exit", {}, 10, true, "", getText(u"button-10-tooltip")},
                      HoverCase{"CancelHasNoTip", [](GraphicalWindow& w) { click(w.lblButton(15)); }, 17, false, "",
                                ""},
                      HoverCase{"BackgroundKeepsThePanel", [](GraphicalWindow& w) { hover(w.lblButton(0)); }, -1, true,
                                "", getText(u"button-0-tooltip")},
                      HoverCase{"TitleBringsTheWelcomeBack", [](GraphicalWindow& w) { hover(w.lblButton(4)); }, -2,
                                true, "Welcome", getText(u"welcome-msg")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, HoveringHighlightsOneButtonAndTheBackgroundTakesItAway) {
  hover(window.lblButton(2));
  EXPECT_EQ(window.imgButton(2)->resource(), kBlue);
  EXPECT_TRUE(window.lblButton(2)->highlighted());
  EXPECT_EQ(window.lblButton(2)->palette().color(QPalette::WindowText), QColor(64, 128, 192));

  hover(window.lblButton(4));
  EXPECT_EQ(window.imgButton(2)->resource(), kGray);
  EXPECT_FALSE(window.lblButton(2)->highlighted());
  EXPECT_EQ(window.imgButton(4)->resource(), kBlue);

  hover(&window);
  EXPECT_EQ(window.imgButton(4)->resource(), kGray);
  EXPECT_EQ(window.lblButton(4)->palette().color(QPalette::WindowText), QColor(64, 64, 64));
}

struct ThreadCase {
  const char* name;
  const char* text;
  const char* command;  // sent when the count is accepted
  const char* error;    // shown otherwise
};
void PrintTo(const ThreadCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ThreadCountTest : public WindowTest, public ::testing::WithParamInterface<ThreadCase> {};

TEST_P(ThreadCountTest, SendsFtOrShowsTheError) {
  const ThreadCase& c = GetParam();
  press(&window, Qt::Key_T);
  ASSERT_EQ(openPages(), QStringList{"threads"});
  window.txtThreadCount()->setText(QString::fromUtf8(c.text));
  press(&window, Qt::Key_Return);  // in the text box: confirms the page
  if (c.command) {
    EXPECT_EQ(host.inputs, (std::vector<Input>{{QString::fromUtf8(c.command), true}}));
    EXPECT_TRUE(openPages().isEmpty());
  } else {
    EXPECT_TRUE(host.inputs.empty());
    EXPECT_EQ(openPages(), (QStringList{"error", "threads"}));
    EXPECT_EQ(window.lblError()->text(), QString::fromUtf8(c.error));
  }
}

constexpr const char* kRange = "Thread count must be from 1 to 4096.";
constexpr const char* kNumeric = "Thread count must be numeric.";

INSTANTIATE_TEST_SUITE_P(
    Values, ThreadCountTest,
    ::testing::Values(ThreadCase{"Eight", "8", "ft 8", nullptr}, ThreadCase{"Highest", "4096", "ft 4096", nullptr},
                      ThreadCase{"Lowest", "1", "ft 1", nullptr}, ThreadCase{"Spaces", " 8 ", "ft 8", nullptr},
                      ThreadCase{"Exponent", "1e3", "ft 1000", nullptr}, ThreadCase{"Hex", "&H10", "ft 16", nullptr},
                      ThreadCase{"Fraction", "8.5", "ft 8.5", nullptr}, ThreadCase{"Zero", "0", nullptr, kRange},
                      ThreadCase{"OneTooMany", "4097", nullptr, kRange}, ThreadCase{"Negative", "-3", nullptr, kRange},
                      ThreadCase{"TenToThe30", "1000000000000000000000000000000", nullptr, kRange},
                      ThreadCase{"BeyondDouble", "1e400", nullptr, kRange}, ThreadCase{"Empty", "", nullptr, kNumeric},
                      ThreadCase{"Letters", "eight", nullptr, kNumeric},
                      ThreadCase{"TrailingText", "8 threads", nullptr, kNumeric}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, ThreadPageStartsFromTheConsolesCount) {
  host.threadCount = 6;
  click(window.imgButton(15));
  EXPECT_EQ(window.txtThreadCount()->text(), QStringLiteral("6"));
  click(window.lblButton(17));
  EXPECT_TRUE(openPages().isEmpty());
  EXPECT_TRUE(host.inputs.empty());
}

struct KeyCase {
  const char* name;
  std::function<void(GraphicalWindow&)> before;
  int key;
  Qt::KeyboardModifiers modifiers;
  std::vector<Input> inputs;
  QStringList pages;
  int endProcesses;
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class KeyTest : public WindowTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyTest, ActsAsItsButton) {
  const KeyCase& c = GetParam();
  if (c.before) c.before(window);
  press(&window, c.key, c.modifiers);
  EXPECT_EQ(host.inputs, c.inputs);
  EXPECT_EQ(openPages(), c.pages);
  EXPECT_EQ(host.endProcesses, c.endProcesses);
}

const auto openThreads = [](GraphicalWindow& w) { press(&w, Qt::Key_T); };
const auto openHardware = [](GraphicalWindow& w) { press(&w, Qt::Key_H); };
const auto openLoad = [](GraphicalWindow& w) { press(&w, Qt::Key_L); };

INSTANTIATE_TEST_SUITE_P(
    Shortcuts, KeyTest,
    ::testing::Values(
        KeyCase{"ThreeRuns32M", {}, Qt::Key_3, {}, {{"st 6", true}}, {}, 0},
        KeyCase{"ZeroRuns1024M", {}, Qt::Key_0, {}, {{"st 11", true}}, {}, 0},
        KeyCase{"ThreeWithThreadPageOpenIsText", openThreads, Qt::Key_3, {}, {}, {"threads"}, 0},
        KeyCase{"RunWithAPageOpen", openHardware, Qt::Key_3, {}, {{"st 6", true}}, {"hardware"}, 0},
        KeyCase{"KeypadThreeIsNoShortcut", {}, Qt::Key_3, Qt::KeypadModifier, {}, {}, 0},
        KeyCase{"H", {}, Qt::Key_H, {}, {}, {"hardware"}, 0},
        KeyCase{"ShiftH", {}, Qt::Key_H, Qt::ShiftModifier, {}, {"hardware"}, 0},
        KeyCase{"S", {}, Qt::Key_S, {}, {}, {"scores"}, 0}, KeyCase{"L", {}, Qt::Key_L, {}, {}, {"load"}, 0},
        KeyCase{"T", {}, Qt::Key_T, {}, {}, {"threads"}, 0}, KeyCase{"X", {}, Qt::Key_X, {}, {}, {}, 1},
        KeyCase{"EscapeWithNothingOpen", {}, Qt::Key_Escape, {}, {}, {}, 0},
        KeyCase{"EscapeClosesEveryPage",
                [](GraphicalWindow& w) {
                  press(&w, Qt::Key_H);
                  press(&w, Qt::Key_S);
                  press(&w, Qt::Key_L);
                },
                Qt::Key_Escape,
                {},
                {},
                {},
                0},
        KeyCase{"EnterClosesHardwarePage", openHardware, Qt::Key_Return, {}, {}, {}, 0},
        KeyCase{"KeypadEnterConfirmsThreads", openThreads, Qt::Key_Enter, Qt::KeypadModifier, {{"ft 4", true}}, {}, 0},
        // Letters typed into a path are text, not shortcuts.
        KeyCase{"XInAPathBox", openLoad, Qt::Key_X, {}, {}, {"load"}, 0},
        KeyCase{"ThreeInAPathBox", openLoad, Qt::Key_3, {}, {}, {"load"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, TypedKeysReachTheTextBoxToo) {
  press(&window, Qt::Key_T);
  window.txtThreadCount()->clear();
  press(&window, Qt::Key_3);
  press(&window, Qt::Key_2);
  EXPECT_EQ(window.txtThreadCount()->text(), QStringLiteral("32"));
  press(&window, Qt::Key_Escape);
  press(&window, Qt::Key_L);
  window.txtLoadPath()->clear();
  QTest::keyClicks(window.txtLoadPath(), QStringLiteral("/tmp/x3.rxs"));
  EXPECT_EQ(window.txtLoadPath()->text(), QStringLiteral("/tmp/x3.rxs"));
  EXPECT_TRUE(host.inputs.empty());
  EXPECT_EQ(host.endProcesses, 0);
}

// A closed page's box keeps the keyboard focus when nothing else can take
// it, so the next key is delivered to it, hidden as it is.
TEST_F(WindowTest, ShortcutThatReopensAPageDoesNotTypeIntoIt) {
  host.threadCount = 2;
  press(&window, Qt::Key_T);
  press(&window, Qt::Key_Escape);
  ASSERT_EQ(window.focusWidget(), window.txtThreadCount());
  ASSERT_FALSE(window.txtThreadCount()->isVisible());
  QTest::keyClick(window.txtThreadCount(), Qt::Key_T);
  EXPECT_EQ(openPages(), QStringList{QStringLiteral("threads")});
  EXPECT_EQ(window.txtThreadCount()->text(), QStringLiteral("2"));
  press(&window, Qt::Key_Return);
  EXPECT_EQ(host.inputs, (std::vector<Input>{{"ft 2", true}}));
}

TEST_F(WindowTest, RunButtonsHideTheWindowAndAskForItBack) {
  for (const auto& [button, command] : {std::pair{0, "st 6"}, std::pair{1, "st 11"}}) {
    host.inputs.clear();
    host.console = false;
    host.revertToGui = false;
    window.show();
    click(window.lblButton(button));
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(host.console);
    EXPECT_TRUE(host.revertToGui);
    EXPECT_EQ(host.inputs, (std::vector<Input>{{command, true}}));
  }
}

TEST_F(WindowTest, BulletsActLikeTheirLabels) {
  for (const auto& [button, page] : {std::pair{2, "hardware"}, std::pair{4, "scores"}, std::pair{15, "threads"}}) {
    click(window.imgButton(button));
    EXPECT_EQ(openPages(), QStringList{page});
    press(&window, Qt::Key_Escape);
  }
  click(window.imgButton(0));
  EXPECT_EQ(host.inputs, (std::vector<Input>{{"st 6", true}}));
}

TEST_F(WindowTest, ExitButtonAndCloseBoxEndTheProcess) {
  click(window.lblButton(10));
  EXPECT_EQ(host.endProcesses, 1);
  window.close();
  EXPECT_EQ(host.endProcesses, 2);
}

TEST_F(WindowTest, HardwarePageShowsTheSummary) {
  click(window.lblButton(2));
  EXPECT_EQ(window.txtInfo(0)->text(), QStringLiteral("Intel Core i7*1"));
  EXPECT_EQ(window.txtInfo(3)->text(), QStringLiteral("3000 MHz"));
  EXPECT_EQ(window.txtInfo(10)->text(), QStringLiteral("16-18-19-36"));
  EXPECT_EQ(window.txtInfo(12)->text(), QStringLiteral("ASUSTeK COMPUTER INC."));
  EXPECT_TRUE(window.txtInfo(0)->isReadOnly());
  click(window.lblButton(3));
  EXPECT_TRUE(openPages().isEmpty());
}

TEST_F(WindowTest, MarkupInHardwareTextsStaysText) {
  host.summary.score_extra_mbModel = QStringLiteral("</textarea><b>Board</b> & \"Co\"");
  click(window.lblButton(2));
  EXPECT_EQ(window.txtInfo(11)->text(), host.summary.score_extra_mbModel);
  EXPECT_EQ(window.txtInfo(11)->toolTip(), plainToolTip(host.summary.score_extra_mbModel));
  EXPECT_TRUE(
      window.txtInfo(11)->toolTip().contains(u"&lt;/textarea&gt;&lt;b&gt;Board&lt;/b&gt; &amp; &quot;Co&quot;"));
}

TEST_F(WindowTest, BrowseOpensAFileChooserThatFillsThePathBox) {
  for (const auto& [page, button, box, mode] :
       {std::tuple{window.fraLoad(), 13, window.txtLoadPath(), QFileDialog::AcceptOpen},
        std::tuple{window.fraSave(), 14, window.txtSavePath(), QFileDialog::AcceptSave}}) {
    page->show();
    click(window.lblButton(button));
    auto* chooser = window.findChild<QFileDialog*>();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->acceptMode(), mode);
    Q_EMIT chooser->fileSelected(QStringLiteral("/tmp/picked.rxs"));
    EXPECT_EQ(box->text(), QStringLiteral("/tmp/picked.rxs"));
    delete chooser;
    page->hide();
  }
  EXPECT_TRUE(host.inputs.empty());
}

TEST_F(WindowTest, PictureLinksOpenTheServerPagesOrSayWhyNot) {
  click(window.image2());
  click(window.image3());
  EXPECT_EQ(host.opener.opened, (QList<QUrl>{QUrl("http://results.example/about"), QUrl("http://results.example/")}));
  EXPECT_TRUE(openPages().isEmpty());

  host.opener.failure = QStringLiteral("no browser");
  click(window.image3());
  EXPECT_EQ(openPages(), QStringList{"error"});
  EXPECT_EQ(window.lblError()->text(), QStringLiteral("Unable to open http://results.example/: no browser"));
}

TEST_F(WindowTest, LoadingPanelAnimatesUntilTurnedOff) {
  window.loading(true);
  EXPECT_TRUE(window.isLoading());
  EXPECT_EQ(openPages(), QStringList{"loading"});
  EXPECT_TRUE(window.tmrload()->isActive());
  EXPECT_EQ(window.tmrload()->interval(), 50);
  QTRY_COMPARE(window.spinFrame(), int16_t(1));  // the first tick shows frame 1
  EXPECT_EQ(window.imgLoading()->resource(), GraphicalWindow::spinPicture(1));
  QTRY_COMPARE(window.spinFrame(), int16_t(0));  // after frame 4 comes frame 0
  EXPECT_EQ(window.imgLoading()->resource(), GraphicalWindow::spinPicture(0));

  window.loading(false);
  EXPECT_FALSE(window.isLoading());
  EXPECT_TRUE(openPages().isEmpty());
  EXPECT_FALSE(window.tmrload()->isActive());
}

TEST_F(WindowTest, EveryShortcutStillActsWhileLoading) {
  window.loading(true);
  press(&window, Qt::Key_H);
  press(&window, Qt::Key_S);
  EXPECT_EQ(openPages(), (QStringList{"scores", "hardware", "loading"}));
  press(&window, Qt::Key_Return);
  EXPECT_EQ(openPages(), QStringList{"loading"});
  for (const auto& [key, page] : {std::pair{Qt::Key_L, "load"}, std::pair{Qt::Key_T, "threads"}}) {
    press(&window, key);
    EXPECT_EQ(openPages(), (QStringList{page, "loading"}));
    press(&window, Qt::Key_Escape);
  }
  EXPECT_EQ(openPages(), QStringList{"loading"});
  press(&window, Qt::Key_3);
  EXPECT_EQ(host.inputs, (std::vector<Input>{{"st 6", true}}));
}

TEST_F(WindowTest, BacktickLeavesForTheConsoleAndStartsItsLoop) {
  host.consoleLines = {QStringLiteral("pr")};
  press(&window, Qt::Key_QuoteLeft);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(host.console);
  EXPECT_EQ(host.consoleBreaks, 1);
  EXPECT_EQ(host.closedNotices, 1);
  EXPECT_EQ(host.getInputs, 1);
  EXPECT_EQ(host.inputs, (std::vector<Input>{{"pr", false}}));
  EXPECT_EQ(host.endProcesses, 0);

  // A second press reaches a window that is gone: nothing more happens.
  press(&window, Qt::Key_QuoteLeft);
  EXPECT_EQ(host.getInputs, 1);
  EXPECT_EQ(host.consoleBreaks, 1);
}

TEST_F(WindowTest, BacktickWhileLoadingLeavesTheConsoleWithoutAPrompt) {
  window.loading(true);
  press(&window, Qt::Key_QuoteLeft);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(host.console);
  EXPECT_EQ(host.closedNotices, 1);
  EXPECT_EQ(host.getInputs, 0);
  EXPECT_TRUE(host.inputs.empty());
}

TEST_F(WindowTest, KeysOfOtherWindowsAreNotShortcuts) {
  QWidget other;
  other.show();
  QTest::keyClick(&other, Qt::Key_X);
  QTest::keyClick(&other, Qt::Key_QuoteLeft);
  EXPECT_EQ(host.endProcesses, 0);
  EXPECT_EQ(host.closedNotices, 0);
}

class LoadTest : public WindowTest {
 protected:
  QString write(const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }
  void load(const QString& path) {
    press(&window, Qt::Key_L);
    window.txtLoadPath()->setText(path);
    click(window.lblButton(12));
  }
  QTemporaryDir dir;
};

TEST_F(LoadTest, FailuresShowTheirTextAndKeepThePageOpen) {
  using scores::testdata::sample207Lines;
  using scores::testdata::scoreFile;
  QStringList beta = sample207Lines();
  beta[1] = QStringLiteral("beta");
  QStringList edited = sample207Lines();
  edited[2] = QStringLiteral("1.5");
  const struct {
    QString path;
    const char* text;
  } cases[] = {
      {dir.filePath("missing.rxs"), "File does not exist."},
      {write("garbage.rxs", "not a score at all\r\n\x01\x02"), "File is not a supported Rootix score file."},
      {write("empty.rxs", ""), "File is not a supported Rootix score file."},
      {write("beta.rxs", scoreFile(beta)), "Cannot load files created by beta versions."},
      {write("edited.rxs", scoreFile(edited)), "File supplied an invalid checksum."},
  };
  for (const auto& c : cases) {
    load(c.path);
    EXPECT_EQ(openPages(), (QStringList{"error", "load"})) << c.path.toStdString();
    EXPECT_EQ(window.lblError()->text(), QString::fromUtf8(c.text)) << c.path.toStdString();
    press(&window, Qt::Key_Escape);
  }
  EXPECT_EQ(host.list.count(), 0);
}

TEST_F(LoadTest, AnUnreadableFileCannotBeOpened) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  const QString path = write("locked.rxs", scores::testdata::scoreFile(scores::testdata::sample207Lines()));
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
  load(path);
  EXPECT_EQ(window.lblError()->text(), QStringLiteral("Unable to open file."));
  EXPECT_EQ(host.list.count(), 0);
}

TEST_F(LoadTest, AFolderOrAnUnknownCodeShowsTheCodesTextEvenIfEmpty) {
  scores::Score probe;
  const int code = probe.loadScore(dir.path());
  ASSERT_NE(code, 0);
  load(dir.path());
  EXPECT_EQ(openPages(), (QStringList{"error", "load"}));
  EXPECT_EQ(window.lblError()->text(), getText(QStringLiteral("error-load-%1").arg(code)));
  EXPECT_EQ(host.list.count(), 0);
}

TEST_F(LoadTest, ALoadedScoreIsAppendedAndListed) {
  load(write("good.rxs", scores::testdata::scoreFile(scores::testdata::sample207Lines())));
  EXPECT_TRUE(openPages().isEmpty());
  ASSERT_EQ(host.list.count(), 1);
  EXPECT_EQ(host.list.at(1).score_score, 12.345);
  EXPECT_EQ(window.scoreBrowser()->rowCount(), 1);
  EXPECT_TRUE(window.scoreBrowser()->picScoreInfo()->isVisibleTo(window.scoreBrowser()));
}

TEST_F(LoadTest, FailedSaveThenEnterClosesTheBoxAndSavesAgain) {
  host.list.append(scores::Score::Create(12.345, 6, scores::testdata::sampleHardware()));
  press(&window, Qt::Key_S);
  click(window.scoreBrowser()->imgScoreSave(1));
  EXPECT_EQ(window.selectedScore(), 1);
  EXPECT_EQ(openPages(), (QStringList{"save", "scores"}));

  window.txtSavePath()->setText(dir.filePath("no-such-folder/score.rxs"));
  click(window.lblButton(8));
  EXPECT_EQ(openPages(), (QStringList{"error", "save", "scores"}));
  EXPECT_EQ(window.lblError()->text(), QStringLiteral("Sorry unable to write there, please enter another path."));

  const QString good = dir.filePath("score.rxs");
  window.txtSavePath()->setText(good);
  press(&window, Qt::Key_Return);  // error box, save again, then the scores page
  EXPECT_TRUE(openPages().isEmpty());
  scores::Score back;
  ASSERT_EQ(back.loadScore(good), 0);
  EXPECT_EQ(back.hardware, host.list.at(1).hardware);
}

}  // namespace
}  // namespace rootix::gui
