// Draws the graphical window in its main states into PNG files, for the
// screenshots under docs/screenshots. Not installed; run it under a display:
//   build/rootix_window_shots docs/screenshots [suffix]
//   build/rootix_window_shots --show      (just the window, for screen readers)
// On an X display (xvfb-run, with a window manager such as openbox for the
// title bars) it also captures the display itself: the score list of seven
// and nine rows, a tool tip and the replace question.
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <cstdio>

#include "gui/button_label.h"
#include "gui/graphical_window.h"
#include "gui/picture_button.h"
#include "gui/score_browser.h"
#include "platform/url_opener.h"
#include "scores/score_list.h"

namespace {

using namespace rootix;

class NoOpener : public platform::UrlOpener {
 public:
  Result<void> open(const QUrl&) override { return {}; }
};

// Enough of the program for the window to show itself.
class DemoHost : public gui::GuiHost {
 public:
  DemoHost() {
    auto& h = summary;
    h.score_extra_cpu_string = QStringLiteral("AMD Ryzen 7 5800X 8-Core Processor");
    h.score_extra_cpu_count = QStringLiteral("1");
    h.score_extra_cpu_core = QStringLiteral("Vermeer");
    h.score_extra_cpu_rev = QStringLiteral("B2");
    h.score_extra_cpu_clock = QStringLiteral("3800 MHz");
    h.score_extra_cpu_cache = QStringLiteral("32768 KB");
    h.score_extra_cpu_fsb = QStringLiteral("100 MHz");
    h.score_extra_cpu_vcore = QStringLiteral("1.1 V");
    h.score_extra_memType = QStringLiteral("DDR4");
    h.score_extra_memSize = QStringLiteral("32768 MB");
    h.score_extra_memClock = QStringLiteral("1600 MHz");
    h.score_extra_memTCas = QStringLiteral("16");
    h.score_extra_memTRCD = QStringLiteral("18");
    h.score_extra_memTRP = QStringLiteral("18");
    h.score_extra_memTRAS = QStringLiteral("36");
    h.score_extra_mbModel = QStringLiteral("B550 AORUS ELITE");
    h.score_extra_mbVendor = QStringLiteral("Gigabyte Technology Co., Ltd.");
  }
  void doInput(const QString&, bool) override {}
  QString getInput() override { return {}; }
  int threads() const override { return 16; }
  void setRevertToGui(bool) override {}
  bool consoleVisible() const override { return false; }
  void setConsoleVisible(bool) override {}
  void appendConsoleBreak() override {}
  void guiClosed() override {}
  scores::ScoreList& scores() override { return list; }
  const scores::HardwareSummary& hardware() const override { return summary; }
  int takeRecordsIntoScores() override { return 0; }
  QString serverBase() const override { return QStringLiteral("http://localhost"); }
  platform::UrlOpener& urlOpener() override { return opener; }
  Result<void> uploadScore(int) override { return {}; }
  void endProcess() override {}

  scores::ScoreList list;
  scores::HardwareSummary summary;
  NoOpener opener;
};

void settle(int ms = 100) {
  QTimer wait;
  wait.setSingleShot(true);
  wait.start(ms);
  while (wait.isActive()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool shoot(QWidget& w, const QString& path) {
  settle();
  const bool ok = w.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

// What the screen shows of the window and whatever lies over it (a question,
// a tool tip): a capture of the display, not of the widget, so it shows what
// a person sees.
bool shootScreen(QWidget& w, const QString& path) {
  settle(300);
  QRect area = w.frameGeometry();
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->isVisible() && top != &w && top->isWindow()) area |= top->frameGeometry();
  }
  const QPixmap shot = w.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  const bool ok = !shot.isNull() && shot.save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc > 1 && QLatin1String(argv[1]) == QLatin1String("--show")) {
    // The window with two scores, for a screen reader (or a test) to read;
    // gone after two minutes at most.
    DemoHost host;
    host.list.append(scores::Score::Create(11.482, 6, host.summary));
    host.list.append(scores::Score::Create(352.906, 11, host.summary));
    gui::GraphicalWindow window(host);
    window.showWindow();
    QTimer::singleShot(120000, &app, &QCoreApplication::quit);
    return app.exec();
  }
  const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  auto file = [&](const char* name) { return out.filePath(QLatin1String(name) + suffix + QStringLiteral(".png")); };
  bool ok = true;

  DemoHost host;
  const double times[] = {11.482, 11.317, 352.906, 11.29, 11.305, 349.75, 11.276, 11.301};
  for (int i = 0; i < 8; ++i) {
    const int16_t test = times[i] > 100 ? 11 : 6;
    host.list.append(scores::Score::Create(times[i], test, host.summary));
  }

  gui::GraphicalWindow window(host);
  window.showWindow();
  ok &= shoot(window, file("menu"));

  // A hovered button: blue bullet, highlight colour, its tool tip.
  Q_EMIT window.lblButton(2)->hovered();
  ok &= shoot(window, file("menu-hover"));

  window.lblButton(2)->click();
  ok &= shoot(window, file("hardware"));
  window.lblButton(3)->click();

  window.lblButton(15)->click();
  window.txtThreadCount()->setText(QStringLiteral("5000"));
  ok &= shoot(window, file("threads"));
  window.lblButton(16)->click();
  ok &= shoot(window, file("threads-error"));
  window.lblButton(7)->click();
  window.lblButton(17)->click();

  window.lblButton(4)->click();
  ok &= shoot(window, file("scores"));
  window.lblButton(5)->click();

  window.loading(true);
  settle(120);
  ok &= shoot(window, file("loading"));
  window.loading(false);

  // A fresh window with one score: the legend explains the icons.
  DemoHost single;
  single.list.append(scores::Score::Create(11.482, 6, single.summary));
  gui::GraphicalWindow one(single);
  one.showWindow();
  one.lblButton(4)->click();
  ok &= shoot(one, file("scores-one"));
  one.hide();

  // The rest are captures of the display: only a real one has them.
  if (QGuiApplication::platformName() != u"xcb") return ok ? 0 : 1;
  window.hide();

  // Seven and nine rows, listed while the page was closed, as loads do.
  for (const auto& [rows, name] : {std::pair{7, "scores-seven"}, std::pair{9, "scores-nine"}}) {
    DemoHost h;
    gui::GraphicalWindow w(h);
    w.move(0, 0);
    w.showWindow();
    w.lblButton(4)->click();
    w.lblButton(5)->click();
    for (int i = 0; i < rows; ++i)
      h.list.append(scores::Score::Create(times[i % 8], times[i % 8] > 100 ? 11 : 6, h.summary));
    w.scoreBrowser()->addNewScores();
    w.lblButton(4)->click();
    ok &= shootScreen(w, file(name));
  }

  DemoHost h;
  h.list.append(scores::Score::Create(11.482, 6, h.summary));
  gui::GraphicalWindow w(h);
  w.move(0, 0);
  w.showWindow();
  w.lblButton(4)->click();

  // A row icon's tool tip, where the pointer rests (tool tips show in the
  // active window).
  QApplication::setActiveWindow(&w);
  QWidget* icon = w.scoreBrowser()->imgScoreSave(1);
  const QPoint at = icon->rect().center();
  QCursor::setPos(icon->mapToGlobal(at));
  settle(200);
  QHelpEvent help(QEvent::ToolTip, at, icon->mapToGlobal(at));
  QCoreApplication::sendEvent(icon, &help);
  ok &= shootScreen(w, file("tooltip"));
  QToolTip::hideText();
  settle(300);

  // The replace question, over the save page, before it is answered.
  QTemporaryFile existing;
  existing.open();
  w.scoreBrowser()->imgScoreSave(1)->click();
  w.txtSavePath()->setText(existing.fileName());
  QTimer::singleShot(200, &w, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(top);
      if (!box || !box->isVisible()) continue;
      ok &= shootScreen(w, file("replace-question"));
      box->reject();
    }
  });
  w.lblButton(8)->click();
  return ok ? 0 : 1;
}
