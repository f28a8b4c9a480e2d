#include <gtest/gtest.h>

#include <QAccessible>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <memory>

#include "gui/button_label.h"
#include "gui/graphical_window.h"
#include "gui/language.h"
#include "gui/picture.h"
#include "gui/picture_button.h"
#include "gui/plain_text.h"
#include "gui/score_browser.h"
#include "recording_host.h"
#include "scores/score_test_support.h"
#include "support/shell_harness.h"
#include "window_driver.h"

namespace rootix::gui {
namespace {

using scores::Score;
using scores::testdata::sampleHardware;
using testing::click;
using testing::press;

const QString kNoScores = QStringLiteral("You have not made any scores yet.");

struct SummaryCase {
  double seconds;
  int16_t test;
  const char* line;
};
void PrintTo(const SummaryCase& c, std::ostream* os) { *os << c.line; }

class SummaryLine : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(SummaryLine, NamesSizeTimeAndProcessor) {
  const SummaryCase& c = GetParam();
  EXPECT_EQ(summaryLine(Score::Create(c.seconds, c.test, sampleHardware())), QString::fromUtf8(c.line));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SummaryLine,
    ::testing::Values(SummaryCase{12.3456, 6, "32M - 12.346 sec (3000 MHz Comet Lake R0*1)"},
                      SummaryCase{300.5, 11, "1024M - 300.5 sec (3000 MHz Comet Lake R0*1)"},
                      SummaryCase{2.0005, 1, "1M - 2 sec (3000 MHz Comet Lake R0*1)"},  // tie to even
                      SummaryCase{2.0015, 16, "32768M - 2.002 sec (3000 MHz Comet Lake R0*1)"},
                      SummaryCase{1.0, 32000,
                                  "Infinity"
                                  "M - 1 sec (3000 MHz Comet Lake R0*1)"}));  // a file's test number

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.summary = sampleHardware();
    open();
  }
  // A new window, as "gui" makes after a run.
  void open() {
    window = std::make_unique<GraphicalWindow>(host, &dialogs, &probe);
    window->show();
  }
  ScoreBrowser& browser() const { return *window->scoreBrowser(); }
  void viewScores() { press(window.get(), Qt::Key_S); }
  void addScore(double seconds, int16_t test = 6) { host.list.append(Score::Create(seconds, test, host.summary)); }
  bool legend() const { return browser().picScoreInfo()->isVisibleTo(&browser()); }
  bool note() const { return browser().lblNoScores()->isVisibleTo(&browser()); }
  bool rowShown(int n) const { return browser().row(n)->isVisibleTo(&browser()); }
  // The rows' places in the list, after its layout has run.
  int top(int n) const {
    QCoreApplication::processEvents();
    return browser().row(n)->y();
  }
  QString loadFile(const QString& name, const Score& s) {
    const QString path = dir.filePath(name);
    EXPECT_EQ(s.saveScore(path, dialogs).code(), 0);
    press(window.get(), Qt::Key_L);
    window->txtLoadPath()->setText(path);
    press(window.get(), Qt::Key_Return);
    return path;
  }

  testing::RecordingHost host;
  rootix::testing::FakeDialogs dialogs;
  testing::FakeProbe probe;
  std::unique_ptr<GraphicalWindow> window;
  QTemporaryDir dir;
};

TEST_F(BrowserTest, FreshWindowWithoutScoresShowsTheNote) {
  viewScores();
  EXPECT_TRUE(window->fraScores()->isVisible());
  EXPECT_EQ(browser().rowCount(), 0);
  EXPECT_TRUE(note());
  EXPECT_EQ(browser().lblNoScores()->text(), kNoScores);
  EXPECT_FALSE(legend());
}

TEST_F(BrowserTest, ARunsRecordBecomesOneRowOnceWithTheLegend) {
  host.records = {{6, 11.5}};
  viewScores();
  ASSERT_EQ(browser().rowCount(), 1);
  EXPECT_TRUE(browser().lblScoreSummary(1)->text().startsWith(u"32M - 11.5 sec ("));
  EXPECT_TRUE(legend());
  EXPECT_FALSE(note());

  press(window.get(), Qt::Key_Escape);
  viewScores();
  EXPECT_EQ(browser().rowCount(), 1);
  EXPECT_EQ(host.list.count(), 1);
}

TEST_F(BrowserTest, RowsFollowTheOrderOfScores) {
  addScore(1.5);
  addScore(2.5, 11);
  host.records = {{6, 3.5}};
  viewScores();
  ASSERT_EQ(browser().rowCount(), 3);
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(browser().lblScoreSummary(n)->text(), summaryLine(host.list.at(n))) << n;
  EXPECT_LT(top(1), top(2));
  EXPECT_LT(top(2), top(3));
  EXPECT_FALSE(legend());
}

TEST_F(BrowserTest, ALoadedFileIsAppendedAsANewRow) {
  addScore(1.5);
  viewScores();
  Score other = Score::Create(7.25, 11, sampleHardware());
  loadFile(QStringLiteral("other.rxs"), other);
  ASSERT_EQ(browser().rowCount(), 2);
  EXPECT_TRUE(browser().lblScoreSummary(2)->text().startsWith(u"1024M - 7.25 sec"));
  EXPECT_EQ(top(2), top(1) + window->scoreBrowser()->row(1)->height());
}

TEST_F(BrowserTest, LoadingBeforeTheFirstViewKeepsRowsAlignedWithScores) {
  addScore(1.5);  // made before this window opened
  loadFile(QStringLiteral("loaded.rxs"), Score::Create(7.25, 11, sampleHardware()));
  viewScores();
  ASSERT_EQ(browser().rowCount(), 2);
  EXPECT_EQ(browser().lblScoreSummary(1)->text(), summaryLine(host.list.at(1)));
  EXPECT_EQ(browser().lblScoreSummary(2)->text(), summaryLine(host.list.at(2)));
  click(browser().imgScoreUpload(2));
  EXPECT_EQ(host.uploads, std::vector<int>{2});
}

struct DeleteCase {
  const char* name;
  int scores;
  std::vector<int> deleted;
  bool note;
  bool legend;
};
void PrintTo(const DeleteCase& c, std::ostream* os) { *os << c.name; }

class DeleteTest : public BrowserTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteTest, HidesTheRowAndTheScore) {
  const DeleteCase& c = GetParam();
  for (int i = 0; i < c.scores; ++i) addScore(1.0 + i);
  viewScores();
  for (int n : c.deleted) click(browser().imgScoreDelete(n));
  for (int n = 1; n <= c.scores; ++n) {
    const bool gone = std::find(c.deleted.begin(), c.deleted.end(), n) != c.deleted.end();
    EXPECT_EQ(rowShown(n), !gone) << n;
    EXPECT_EQ(host.list.at(n).score_visible, !gone) << n;
  }
  EXPECT_EQ(browser().rowCount(), c.scores);
  EXPECT_EQ(host.list.count(), c.scores);
  EXPECT_EQ(browser().visibleScoreCount(), c.scores - static_cast<int>(c.deleted.size()));
  EXPECT_EQ(note(), c.note);
  EXPECT_EQ(legend(), c.legend);
}

INSTANTIATE_TEST_SUITE_P(Rows, DeleteTest,
                         ::testing::Values(DeleteCase{"OnlyRow", 1, {1}, true, false},
                                           DeleteCase{"OneOfTwo", 2, {1}, false, true},
                                           DeleteCase{"TwoOfThree", 3, {2}, false, false},
                                           DeleteCase{"Every", 3, {3, 1, 2}, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrowserTest, DeletedRowsGapClosesAndANewScoreGoesBelowTheLast) {
  for (double s : {1.0, 2.0, 3.0}) addScore(s);
  viewScores();
  const int second = top(2);
  click(browser().imgScoreDelete(2));
  EXPECT_EQ(top(3), second);
  loadFile(QStringLiteral("fourth.rxs"), Score::Create(4.0, 6, sampleHardware()));
  ASSERT_EQ(browser().rowCount(), 4);
  EXPECT_EQ(top(4), top(3) + browser().row(3)->height());
}

TEST_F(BrowserTest, DeletingEveryRowThenAddingShowsTheNewOneAtTheTop) {
  for (double s : {1.0, 2.0}) addScore(s);
  viewScores();
  const int first = top(1);
  click(browser().imgScoreDelete(1));
  click(browser().imgScoreDelete(2));
  EXPECT_TRUE(note());
  loadFile(QStringLiteral("again.rxs"), Score::Create(5.0, 6, sampleHardware()));
  EXPECT_FALSE(note());
  EXPECT_TRUE(legend());
  EXPECT_EQ(top(3), first);
}

TEST_F(BrowserTest, ANewWindowListsEarlierScoresWithoutTheDeletedOnes) {
  for (double s : {1.0, 2.0}) addScore(s);
  viewScores();
  click(browser().imgScoreDelete(1));
  host.records = {{6, 9.5}};  // a run from the window, which then reopens
  open();
  viewScores();
  ASSERT_EQ(browser().rowCount(), 3);
  EXPECT_FALSE(rowShown(1));
  EXPECT_TRUE(rowShown(2));
  EXPECT_TRUE(rowShown(3));
  EXPECT_TRUE(browser().lblScoreSummary(3)->text().startsWith(u"32M - 9.5 sec"));
  EXPECT_EQ(browser().visibleScoreCount(), 2);
}

TEST_F(BrowserTest, ScoresWithoutHardwareCannotBeSavedOrUploaded) {
  host.list.append(Score::Create(3.0, 6, scores::HardwareSummary{}));
  viewScores();
  click(browser().imgScoreSave(1));
  EXPECT_TRUE(window->fraError()->isVisible());
  EXPECT_FALSE(window->fraSave()->isVisible());
  EXPECT_EQ(window->lblError()->text(), getText(u"error-nohw-save"));
  click(window->lblButton(Button::ErrorOk));
  click(browser().imgScoreUpload(1));
  EXPECT_EQ(window->lblError()->text(), getText(u"error-nohw-upload"));
  EXPECT_TRUE(host.uploads.empty());
}

TEST_F(BrowserTest, UploadGoesThroughTheHostAndAFailureShows) {
  addScore(1.0);
  addScore(2.0);
  viewScores();
  click(browser().imgScoreUpload(2));
  EXPECT_EQ(host.uploads, std::vector<int>{2});
  EXPECT_FALSE(window->fraError()->isVisible());

  host.uploadFailure = QStringLiteral("Unable to write the submission page.");
  click(browser().imgScoreUpload(1));
  EXPECT_EQ(host.uploads, (std::vector<int>{2, 1}));
  EXPECT_TRUE(window->fraError()->isVisible());
  EXPECT_EQ(window->lblError()->text(), host.uploadFailure);
}

TEST_F(BrowserTest, SaveIconChoosesTheScoreTheSavePageWrites) {
  addScore(1.0);
  addScore(2.0);
  viewScores();
  click(browser().imgScoreSave(2));
  EXPECT_EQ(window->selectedScore(), 2);
  const QString path = dir.filePath(QStringLiteral("two.rxs"));
  window->txtSavePath()->setText(path);
  press(window.get(), Qt::Key_Return);
  EXPECT_FALSE(window->fraSave()->isVisible());
  Score back;
  ASSERT_EQ(back.loadScore(path).code(), 0);
  EXPECT_EQ(back.score_score, 2.0);
}

TEST_F(BrowserTest, ALongSummaryWithMarkupEndsInDotsAndShowsWholeAsText) {
  host.summary.score_extra_cpu_core = QStringLiteral("<b>Core</b> & ") + QString(200, u'x');
  addScore(1.0);
  viewScores();
  QLabel* summary = browser().lblScoreSummary(1);
  EXPECT_EQ(summary->text(), summaryLine(host.list.at(1)));
  EXPECT_EQ(summary->toolTip(), plainToolTip(summary->text()));
}

TEST_F(BrowserTest, EveryOneOfManyRowsCanBeScrolledTo) {
  for (int i = 0; i < 500; ++i) addScore(1.0 + i);
  viewScores();
  ASSERT_EQ(browser().rowCount(), 500);
  QScrollBar* bar = browser().list()->verticalScrollBar();
  const int pitch = browser().row(1)->height();
  EXPECT_EQ(bar->singleStep(), pitch);
  // Six rows show; each further row is one step of range. The list opens at its end.
  QTRY_COMPARE(bar->maximum(), (500 - 6) * pitch);
  QTRY_COMPARE(bar->value(), bar->maximum());
  auto inView = [this](int n) {
    const QWidget* viewport = browser().list()->viewport();
    const QRect r(browser().row(n)->mapTo(viewport, QPoint(0, 0)), browser().row(n)->size());
    return viewport->rect().contains(r);
  };
  EXPECT_TRUE(inView(500));
  EXPECT_TRUE(inView(495));
  EXPECT_FALSE(inView(494));
  bar->setValue(0);
  EXPECT_TRUE(inView(1));

  for (int n = 500; n > 6; --n) click(browser().imgScoreDelete(n));
  QTRY_COMPARE(bar->maximum(), 0);
  EXPECT_EQ(browser().visibleScoreCount(), 6);
}

// Rows listed while the page was closed used to keep the size the list had
// when it was last shown: squeezed together, without a scroll bar.
TEST_F(BrowserTest, ScoresListedWhileThePageIsClosedKeepTheirPitch) {
  for (int rows : {7, 9}) {
    host.list = {};
    open();
    viewScores();
    press(window.get(), Qt::Key_Escape);
    for (int i = 1; i < rows; ++i) addScore(1.0 + i);
    loadFile(QStringLiteral("last%1.rxs").arg(rows), Score::Create(20.0, 6, sampleHardware()));
    ASSERT_EQ(browser().rowCount(), rows);
    viewScores();
    const int pitch = window->scoreBrowser()->row(1)->height();
    EXPECT_EQ(pitch, 24);  // 360 twips at 96 DPI
    for (int n = 2; n <= rows; ++n) EXPECT_EQ(top(n), top(n - 1) + pitch) << rows << " rows, row " << n;
    QScrollBar* bar = browser().list()->verticalScrollBar();
    EXPECT_TRUE(bar->isVisible()) << rows;
    EXPECT_EQ(bar->maximum(), (rows - 6) * pitch) << rows;
  }
}

TEST_F(BrowserTest, RowIconsAreNamedButtonsTabTakesInTheOrderTheyStand) {
  for (double s : {1.0, 2.0}) addScore(s);
  viewScores();
  for (int n = 1; n <= 2; ++n) {
    const std::pair<QWidget*, const char*> icons[] = {{browser().imgScoreUpload(n), "Upload score"},
                                                      {browser().imgScoreSave(n), "Save score"},
                                                      {browser().imgScoreDelete(n), "Delete score"}};
    for (const auto& [icon, name] : icons) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(icon);
      ASSERT_NE(a, nullptr);
      EXPECT_EQ(a->role(), QAccessible::Button);
      EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8(name));
      EXPECT_EQ(a->text(QAccessible::Description), summaryLine(host.list.at(n)));
    }
  }
  EXPECT_EQ(window->focusWidget(), browser().imgScoreUpload(1));  // the list comes first
  QList<QWidget*> seen;
  for (int i = 0; i < 7; ++i) {
    press(window.get(), Qt::Key_Tab);
    seen << window->focusWidget();
  }
  EXPECT_EQ(seen, (QList<QWidget*>{browser().imgScoreSave(1), browser().imgScoreDelete(1), browser().imgScoreUpload(2),
                                   browser().imgScoreSave(2), browser().imgScoreDelete(2),
                                   window->lblButton(Button::LoadScore), window->lblButton(Button::ScoresOk)}));
  // Space on a focused icon acts as a click.
  browser().imgScoreDelete(2)->setFocus(Qt::TabFocusReason);
  QTest::keyClick(browser().imgScoreDelete(2), Qt::Key_Space);
  EXPECT_FALSE(host.list.at(2).score_visible);
}

TEST_F(BrowserTest, TabScrollsARowOutOfViewIntoIt) {
  for (int i = 0; i < 9; ++i) addScore(1.0 + i);
  viewScores();
  QScrollBar* bar = browser().list()->verticalScrollBar();
  bar->setValue(0);
  browser().imgScoreDelete(6)->setFocus(Qt::TabFocusReason);
  press(window.get(), Qt::Key_Tab);
  ASSERT_EQ(window->focusWidget(), browser().imgScoreUpload(7));
  const QWidget* viewport = browser().list()->viewport();
  const QRect r(browser().row(7)->mapTo(viewport, QPoint(0, 0)), browser().row(7)->size());
  EXPECT_TRUE(viewport->rect().contains(r));
}

}  // namespace
}  // namespace rootix::gui
