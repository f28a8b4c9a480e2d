#include <gtest/gtest.h>
#include <unistd.h>

#include <QAccessible>
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
#include "gui/console_window.h"
#include "gui/graphical_window.h"
#include "gui/language.h"
#include "gui/picture.h"
#include "gui/picture_button.h"
#include "gui/plain_text.h"
#include "gui/score_browser.h"
#include "recording_host.h"
#include "scores/score_test_support.h"
#include "submit/server_address.h"
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
  testing::FakeProbe probe;
  GraphicalWindow window{host, &dialogs, &probe};
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

// A key can still be delivered to a closed page's box (the focus used to
// stay there when nothing else could take it); a shortcut that shows its
// page again must not type into it as well.
TEST_F(WindowTest, ShortcutThatReopensAPageDoesNotTypeIntoIt) {
  host.threadCount = 2;
  press(&window, Qt::Key_T);
  press(&window, Qt::Key_Escape);
  EXPECT_EQ(window.focusWidget(), window.lblButton(Button::Run32M));
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
    EXPECT_EQ(chooser->nameFilters(), (QStringList{"Score files (*.rxs)", "All Files (*)"}));
    // Never larger than the screen it opens on, whatever the scale.
    EXPECT_TRUE(window.screen()->availableGeometry().size().expandedTo(chooser->size()) ==
                window.screen()->availableGeometry().size());
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

// Results without a text of their own say what the reader found.
TEST_F(LoadTest, AFolderOrAnEmptyPathSaysWhy) {
  const struct {
    QString path;
    const char* text;
  } cases[] = {
      {dir.path(), "Unable to load this score file: is a folder."},
      {QString(), "Unable to load this score file: no file name was given."},
      {write("short.rxs", scores::testdata::scoreFile(scores::testdata::sample207Lines().mid(0, 5))),
       "Unable to load this score file: the file ends too early."},
  };
  for (const auto& c : cases) {
    load(c.path);
    EXPECT_EQ(openPages(), (QStringList{"error", "load"})) << c.path.toStdString();
    EXPECT_EQ(window.lblError()->text(), QString::fromUtf8(c.text)) << c.path.toStdString();
    press(&window, Qt::Key_Escape);
  }
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
  ASSERT_EQ(back.loadScore(good).code(), 0);
  EXPECT_EQ(back.hardware, host.list.at(1).hardware);
}

// Counts how often a control was shown.
class ShowCounter : public QObject {
 public:
  explicit ShowCounter(QWidget* w) { w->installEventFilter(this); }
  int shows = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::ShowToParent) ++shows;
    return false;
  }
};

struct EnterCase {
  const char* name;
  // Opens the page and fills it so that its action fails.
  std::function<void(GraphicalWindow&, testing::RecordingHost&, const QString& existing)> open;
};
void PrintTo(const EnterCase& c, std::ostream* os) { *os << c.name; }

class EnterOnceTest : public LoadTest, public ::testing::WithParamInterface<EnterCase> {};

// The Return left unaccepted used to travel on to the page and the window,
// and each ran the page's action again.
TEST_P(EnterOnceTest, RunsThePagesActionOnce) {
  const QString existing = write("existing.rxs", "keep me");
  GetParam().open(window, host, existing);
  ShowCounter errors(window.fraError());
  dialogs.answers = {false, true};
  press(&window, Qt::Key_Return);
  EXPECT_EQ(errors.shows, 1);
  EXPECT_LE(dialogs.shown.size(), 1) << dialogs.shown.join(u"; ").toStdString();
  QFile kept(existing);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), QByteArray("keep me"));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, EnterOnceTest,
    ::testing::Values(EnterCase{"SaveOntoAFileAnsweredNo",
                                [](GraphicalWindow& w, testing::RecordingHost& h, const QString& existing) {
                                  h.list.append(scores::Score::Create(12.345, 6, scores::testdata::sampleHardware()));
                                  press(&w, Qt::Key_S);
                                  click(w.scoreBrowser()->imgScoreSave(1));
                                  w.txtSavePath()->setText(existing);
                                }},
                      EnterCase{"FailingLoad",
                                [](GraphicalWindow& w, testing::RecordingHost&, const QString& existing) {
                                  press(&w, Qt::Key_L);
                                  w.txtLoadPath()->setText(existing + QStringLiteral(".missing"));
                                }},
                      EnterCase{"ThreadCountOutOfRange",
                                [](GraphicalWindow& w, testing::RecordingHost&, const QString&) {
                                  press(&w, Qt::Key_T);
                                  w.txtThreadCount()->setText(QStringLiteral("0"));
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, PictureLinksRefuseAddressesThatAreNotHttp) {
  for (const char* base : {"javascript:alert(1)", "file:///etc", "data:text/html,<b>x</b>", "ftp://results.example"}) {
    host.base = QString::fromUtf8(base);
    for (QWidget* picture : std::initializer_list<QWidget*>{window.image2(), window.image3()}) {
      click(picture);
      EXPECT_EQ(openPages(), QStringList{"error"}) << base;
      EXPECT_EQ(window.lblError()->text(), submit::ServerAddress::refusal(host.base)) << base;
      EXPECT_TRUE(window.lblError()->text().startsWith(QStringLiteral("The result server address \"") + host.base +
                                                       QStringLiteral("\" cannot be used")));
      press(&window, Qt::Key_Escape);
    }
  }
  EXPECT_TRUE(host.opener.opened.isEmpty());
  EXPECT_TRUE(probe.asked.isEmpty());
}

TEST_F(WindowTest, PictureLinksSaySoWhenNoServerAnswers) {
  probe.answer = false;
  click(window.image3());
  click(window.image2());
  EXPECT_EQ(probe.asked, (QStringList{"http://results.example", "http://results.example"}));
  EXPECT_TRUE(host.opener.opened.isEmpty());
  const QString message = QStringLiteral(
      "No result server answers at http://results.example. Start a result server (rootix-server), or set "
      "ROOTIX_SERVER.");
  EXPECT_EQ(dialogs.shown, QStringList(2, QStringLiteral("Rootix Benchmark v2.11|") + message));
}

TEST_F(WindowTest, PictureLinksWaitForTheAnswerOneAtATime) {
  probe.hold = true;
  click(window.image3());
  click(window.image3());  // while the first question is out
  ASSERT_EQ(probe.held.size(), 1u);
  EXPECT_TRUE(host.opener.opened.isEmpty());
  probe.held.front()(true);
  EXPECT_EQ(host.opener.opened, QList<QUrl>{QUrl("http://results.example/")});
  click(window.image3());
  EXPECT_EQ(probe.held.size(), 2u);
}

TEST(WindowLifetime, AnAnswerAfterTheWindowIsGoneIsDropped) {
  testing::RecordingHost host;
  rootix::testing::FakeDialogs dialogs;
  testing::FakeProbe probe;
  probe.hold = true;
  {
    GraphicalWindow window(host, &dialogs, &probe);
    window.show();
    click(window.image2());
  }
  ASSERT_EQ(probe.held.size(), 1u);
  probe.held.front()(false);
  EXPECT_TRUE(dialogs.shown.isEmpty());
  EXPECT_TRUE(host.opener.opened.isEmpty());
}

TEST_F(WindowTest, BothWindowsShowTheProgramsIcon) {
  const QImage expected = programIcon().pixmap(32).toImage();
  ASSERT_FALSE(expected.isNull());
  EXPECT_EQ(window.windowIcon().pixmap(32).toImage(), expected);
  ConsoleWindow console(QStringLiteral("Rootix Benchmark v2.11"));
  EXPECT_EQ(console.windowIcon().pixmap(32).toImage(), expected);
}

TEST_F(WindowTest, LoadingPanelNamesNoToolRootixDoesNotUse) {
  window.loading(true);
  QStringList texts;
  for (const QLabel* label : window.fraLoading()->findChildren<QLabel*>()) texts << label->text();
  EXPECT_TRUE(texts.join(u' ').contains(u"its own report tool")) << texts.join(u" | ").toStdString();
  EXPECT_FALSE(texts.join(u' ').contains(u"CPUz", Qt::CaseInsensitive));
}

// The focus as Tab and Backtab move it, from the focus there is now.
QList<QWidget*> tabbing(GraphicalWindow& w, int steps, Qt::Key key = Qt::Key_Tab) {
  QList<QWidget*> seen;
  for (int i = 0; i < steps; ++i) {
    press(&w, key);
    seen << w.focusWidget();
  }
  return seen;
}

TEST_F(WindowTest, TabGoesThroughTheHeaderAndTheMenuInOrder) {
  window.activateWindow();
  const QList<QWidget*> menu{window.image2(),
                             window.image3(),
                             window.lblButton(Button::Run32M),
                             window.lblButton(Button::Run1024M),
                             window.lblButton(Button::HardwareInfo),
                             window.lblButton(Button::ViewScores),
                             window.lblButton(Button::SetThreadCount),
                             window.lblButton(Button::Exit)};
  window.image2()->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(tabbing(window, 8), menu.mid(1) + menu.mid(0, 1));
  EXPECT_EQ(tabbing(window, 1, Qt::Key_Backtab), QList<QWidget*>{window.lblButton(Button::Exit)});
}

TEST_F(WindowTest, SpaceAndEnterPressTheFocusedControl) {
  window.lblButton(Button::HardwareInfo)->setFocus(Qt::TabFocusReason);
  press(&window, Qt::Key_Space);
  QTest::keyRelease(window.focusWidget(), Qt::Key_Space);
  EXPECT_EQ(openPages(), QStringList{"hardware"});
  // The page's first control that acts has the focus; closing the page
  // gives the focus back.
  EXPECT_EQ(window.focusWidget(), window.lblButton(Button::HardwareOk));
  press(&window, Qt::Key_Return);
  EXPECT_TRUE(openPages().isEmpty());
  EXPECT_EQ(window.focusWidget(), window.lblButton(Button::HardwareInfo));

  window.lblButton(Button::SetThreadCount)->setFocus(Qt::TabFocusReason);
  press(&window, Qt::Key_Return);
  EXPECT_EQ(openPages(), QStringList{"threads"});
  EXPECT_EQ(window.focusWidget(), window.txtThreadCount());
  // With a page open Enter confirms the page, once.
  press(&window, Qt::Key_Return);
  EXPECT_EQ(host.inputs, (std::vector<Input>{{"ft 4", true}}));
  EXPECT_TRUE(openPages().isEmpty());

  probe.answer = true;
  window.image3()->setFocus(Qt::TabFocusReason);
  press(&window, Qt::Key_Return);
  EXPECT_EQ(host.opener.opened, QList<QUrl>{QUrl("http://results.example/")});
}

TEST_F(WindowTest, FocusIsDrawnOnlyWhileTheKeyboardMovesIt) {
  QApplication::setActiveWindow(&window);
  click(window.lblButton(Button::HardwareInfo));
  ASSERT_NE(window.focusWidget(), nullptr);
  EXPECT_FALSE(showsFocus(window.focusWidget()));  // a click changes nothing on screen
  press(&window, Qt::Key_Tab);
  EXPECT_TRUE(showsFocus(window.focusWidget()));
}

TEST_F(WindowTest, WhatAPageCoversTakesNoFocusUntilItCloses) {
  press(&window, Qt::Key_L);
  for (Button b : {Button::Run32M, Button::ViewScores, Button::Exit}) EXPECT_FALSE(window.lblButton(b)->isEnabled());
  EXPECT_TRUE(window.image2()->isEnabled());  // the header lies outside every page
  EXPECT_EQ(tabbing(window, 5),
            (QList<QWidget*>{window.lblButton(Button::LoadBrowse), window.lblButton(Button::Load),
                             window.lblButton(Button::LoadCancel), window.image2(), window.image3()}));
  window.txtLoadPath()->setText(QStringLiteral("/no/such/score.rxs"));
  click(window.lblButton(Button::Load));
  ASSERT_EQ(openPages(), (QStringList{"error", "load"}));
  EXPECT_FALSE(window.txtLoadPath()->isEnabled());
  EXPECT_EQ(window.focusWidget(), window.lblButton(Button::ErrorOk));
  press(&window, Qt::Key_Escape);
  for (Button b : {Button::Run32M, Button::ViewScores, Button::Exit}) EXPECT_TRUE(window.lblButton(b)->isEnabled());
}

struct AccessibleCase {
  const char* name;
  std::function<QWidget*(GraphicalWindow&)> control;
  QAccessible::Role role;
  QString accessibleName;
  QString description;
  bool pressable;
};
void PrintTo(const AccessibleCase& c, std::ostream* os) { *os << c.name; }

class AccessibleTest : public WindowTest, public ::testing::WithParamInterface<AccessibleCase> {};

TEST_P(AccessibleTest, ExposesRoleNameAndPress) {
  const AccessibleCase& c = GetParam();
  QWidget* control = c.control(window);
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->role(), c.role);
  EXPECT_EQ(a->text(QAccessible::Name), c.accessibleName);
  EXPECT_EQ(a->text(QAccessible::Description), c.description);
  const bool pressable =
      a->actionInterface() && a->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(pressable, c.pressable);
  if (c.pressable) {
    EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Controls, AccessibleTest,
    ::testing::Values(AccessibleCase{"Run32M",
                                     [](GraphicalWindow& w) -> QWidget* { return w.lblButton(Button::Run32M); },
                                     QAccessible::Button, "Run 32M", getText(u"button-0-tooltip"), true},
                      AccessibleCase{"Browse",
                                     [](GraphicalWindow& w) -> QWidget* {
                                       press(&w, Qt::Key_L);
                                       return w.lblButton(Button::LoadBrowse);
                                     },
                                     QAccessible::Button, "Browse", "", true},
                      AccessibleCase{"CoveredMenuButton",
                                     [](GraphicalWindow& w) -> QWidget* {
                                       press(&w, Qt::Key_L);
                                       return w.lblButton(Button::Exit);
                                     },
                                     QAccessible::Button, "Exit", getText(u"button-10-tooltip"), false},
                      AccessibleCase{"TitlePicture", [](GraphicalWindow& w) -> QWidget* { return w.image2(); },
                                     QAccessible::Button, "About Rootix", "", true},
                      AccessibleCase{"LeaderboardPicture", [](GraphicalWindow& w) -> QWidget* { return w.image3(); },
                                     QAccessible::Button, "Leaderboard", "", true},
                      AccessibleCase{"LoadingPicture", [](GraphicalWindow& w) -> QWidget* { return w.imgLoading(); },
                                     QAccessible::Graphic, "Loading", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, BulletsDecorateTheirCaptionsForScreenReaders) {
  QAccessibleInterface* bullet = QAccessible::queryAccessibleInterface(window.imgButton(0));
  ASSERT_NE(bullet, nullptr);
  EXPECT_EQ(bullet->role(), QAccessible::Graphic);
  EXPECT_TRUE(bullet->state().invisible);
  EXPECT_EQ(window.imgButton(0)->focusPolicy(), Qt::NoFocus);
}

}  // namespace
}  // namespace rootix::gui
