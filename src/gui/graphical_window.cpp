#include "gui/graphical_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "console/shell_commands.h"
#include "gui/button_label.h"
#include "gui/console_window.h"
#include "gui/http_server_probe.h"
#include "gui/language.h"
#include "gui/picture.h"
#include "gui/picture_button.h"
#include "gui/plain_text.h"
#include "gui/score_browser.h"
#include "platform/numbers.h"
#include "platform/runtime_error.h"
#include "platform/url_opener.h"
#include "scores/hardware_summary.h"
#include "scores/score_list.h"
#include "scores/thread_count.h"
#include "submit/server_address.h"

namespace rootix::gui {
namespace {

const QString kGrayBullet = QStringLiteral(":/gui/pictures/bullet-gray.svg");
const QString kBlueBullet = QStringLiteral(":/gui/pictures/bullet-blue.svg");

// The menu, top to bottom, 360 twips apart.
constexpr std::array<Button, 6> kMenu{Button::Run32M,     Button::Run1024M,       Button::HardwareInfo,
                                      Button::ViewScores, Button::SetThreadCount, Button::Exit};

qreal logicalDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->logicalDotsPerInch() : 96.0;
}

// Tahoma where it is installed, else the desktop's own sans-serif font.
QFont windowFont() {
  QFont font = QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive)
                   ? QFont(QStringLiteral("Tahoma"))
                   : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSizeF(8.25);
  return font;
}

QString key(const char* prefix, int n, const char* suffix = "") {
  return QLatin1String(prefix) + QString::number(n) + QLatin1String(suffix);
}

// A label shows line breaks as LF only.
QString labelText(QString text) { return text.remove(u'\r'); }

QLabel* newLabel(const QString& text, QWidget* parent, const QRect& geometry, bool wrap = false) {
  auto* label = new QLabel(labelText(text), parent);
  // Messages can carry paths and names from outside: never markup.
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(geometry);
  label->setWordWrap(wrap);
  label->setAlignment(wrap ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

}  // namespace

GraphicalWindow::GraphicalWindow(GuiHost& host, platform::Dialogs* dialogs, ServerProbe* probe)
    : host_(host), dialogs_(dialogs), probe_(probe), t_(logicalDpi()) {
  if (!dialogs_) {
    ownDialogs_ = std::make_unique<WidgetDialogs>(this);
    dialogs_ = ownDialogs_.get();
  }
  if (!probe_) {
    ownProbe_ = std::make_unique<HttpServerProbe>();
    probe_ = ownProbe_.get();
  }
  setWindowTitle(console::kProductTitle);
  setWindowIcon(programIcon());
  setFont(windowFont());
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  setPalette(p);
  setAutoFillBackground(true);
  setFixedSize(t_.px(8400), t_.px(4350));
  setMouseTracking(true);

  buildHeaderAndMenu();
  buildPages();

  // Every button starts gray; the panel greets.
  bButtonAltered_ = true;
  resetButtons();
  showToolTip(getText(u"welcome-title"), getText(u"welcome-msg"));

  // The window sees every key before its controls do.
  qApp->installEventFilter(this);
}

GraphicalWindow::~GraphicalWindow() { qApp->removeEventFilter(this); }

void GraphicalWindow::buildHeaderAndMenu() {
  image2_ = new PictureButton(QStringLiteral(":/gui/pictures/title.svg"), QStringLiteral("About Rootix"), this);
  image2_->setGeometry(t_.rect(120, 120, 4200, 840));
  image2_->setMouseTracking(true);
  connect(image2_, &PictureButton::hovered, this,
          [this] { showToolTip(getText(u"welcome-title"), getText(u"welcome-msg")); });
  connect(image2_, &QAbstractButton::clicked, this, [this] { openServerPage(QStringLiteral("/about")); });

  image3_ = new PictureButton(QStringLiteral(":/gui/pictures/leaderboard.svg"), QStringLiteral("Leaderboard"), this);
  image3_->setGeometry(t_.rect(6000, 240, 2280, 600));
  connect(image3_, &QAbstractButton::clicked, this, [this] { openServerPage(QStringLiteral("/")); });

  auto* lnDivide = new QWidget(this);
  lnDivide->setGeometry(t_.px(120), t_.px(1080), t_.px(8280) - t_.px(120), 1);
  lnDivide->setAutoFillBackground(true);
  QPalette line = lnDivide->palette();
  line.setColor(QPalette::Window, QColor(192, 192, 192));
  lnDivide->setPalette(line);

  for (size_t i = 0; i < kMenu.size(); ++i) addButton(kMenu[i], this, 600, 1320 + 360 * static_cast<int>(i), 1860);

  fraToolTip_ = new QGroupBox(this);
  fraToolTip_->setGeometry(t_.rect(2760, 1200, 5535, 3015));
  lblToolTip_ = newLabel(QString(), fraToolTip_, t_.rect(120, 300, 5295, 2595), true);
}

QGroupBox* GraphicalWindow::newPage(const QString& title) {
  auto* page = new QGroupBox(title, this);
  page->setGeometry(t_.rect(120, 1200, 8175, 3015));
  // Pages cover the menu and the panel beneath them.
  page->setAutoFillBackground(true);
  page->hide();
  return page;
}

QGroupBox* GraphicalWindow::newPathPage(const char16_t* title, const char16_t* info, std::array<Button, 3> buttons,
                                        QLineEdit** box) {
  QGroupBox* page = newPage(getText(title));
  newLabel(getText(info), page, t_.rect(120, 300, 7935, 600), true);
  *box = new QLineEdit(QDir::toNativeSeparators(QDir::home().filePath(QStringLiteral("score.rxs"))), page);
  (*box)->setGeometry(t_.rect(120, 1020, 6000, 300));
  const auto [browse, confirm, cancel] = buttons;
  addButton(browse, page, 6300, 1042, 1200);
  addButton(confirm, page, 5880, 2640, 840);
  addButton(cancel, page, 6960, 2640, 855);
  return page;
}

void GraphicalWindow::addButton(Button b, QWidget* parent, int x, int y, int width) {
  const auto n = static_cast<size_t>(b);
  imgButton_[n] = new Picture(kGrayBullet, parent);
  imgButton_[n]->setGeometry(t_.rect(x, y + 45, 165, 165));
  imgButton_[n]->setCursor(Qt::PointingHandCursor);
  lblButton_[n] = new ButtonLabel(parent);
  lblButton_[n]->setText(getText(key("button-", static_cast<int>(n))));
  // What the pointer shows in the panel, a screen reader says after the name.
  lblButton_[n]->setAccessibleDescription(getText(key("button-", static_cast<int>(n), "-tooltip")));
  lblButton_[n]->setGeometry(t_.rect(x + 240, y, width, 255));
  connect(lblButton_[n], &QAbstractButton::clicked, this, [this, b] { buttonClick(b); });
  connect(lblButton_[n], &ButtonLabel::hovered, this, [this, b] { buttonHover(b); });
  connect(imgButton_[n], &Picture::clicked, this, [this, b] { buttonClick(b); });
}

void GraphicalWindow::buildPages() {
  // Hardware information: processor rows on the left, memory and board on the right.
  fraHW_ = newPage(getText(u"hardware-information"));
  for (int r = 0; r < kInfoRows; ++r) {
    const bool left = r < 7;
    const int y = 300 + 330 * (left ? r : r - 7);
    lblInfo_[r] = newLabel(getText(key("hardwareinfo-", r)), fraHW_,
                           left ? t_.rect(120, y, 1380, 300) : t_.rect(4320, y, 1800, 300));
    txtInfo_[r] = new QLineEdit(fraHW_);
    txtInfo_[r]->setReadOnly(true);
    txtInfo_[r]->setGeometry(left ? t_.rect(1530, y, 2640, 300) : t_.rect(6150, y, 1905, 300));
  }
  addButton(Button::HardwareOk, fraHW_, 7200, 2640, 855);

  fraScores_ = newPage(getText(u"scores"));
  browser_ = new ScoreBrowser(host_, t_, fraScores_);
  browser_->setGeometry(t_.rect(120, 300, 7935, 2280));
  connect(browser_, &ScoreBrowser::saveClicked, this, &GraphicalWindow::scoreSave);
  connect(browser_, &ScoreBrowser::uploadClicked, this, &GraphicalWindow::scoreUpload);
  addButton(Button::LoadScore, fraScores_, 5400, 2640, 1200);
  addButton(Button::ScoresOk, fraScores_, 7200, 2640, 855);
  browser_->setControlsAfterRows({lblButton(Button::LoadScore), lblButton(Button::ScoresOk)});

  fraSave_ = newPathPage(u"save", u"save-info", {Button::SaveBrowse, Button::Save, Button::SaveCancel}, &txtSavePath_);
  fraLoad_ = newPathPage(u"load", u"load-info", {Button::LoadBrowse, Button::Load, Button::LoadCancel}, &txtLoadPath_);

  fraThreads_ = newPage(getText(u"set-thread"));
  newLabel(getText(u"thread-info"), fraThreads_, t_.rect(120, 300, 7935, 900), true);
  newLabel(getText(u"thread-count"), fraThreads_, t_.rect(120, 1380, 1200, 300));
  txtThreadCount_ = new QLineEdit(QStringLiteral("4"), fraThreads_);
  txtThreadCount_->setGeometry(t_.rect(1380, 1380, 1200, 300));
  addButton(Button::ThreadsOk, fraThreads_, 5880, 2640, 840);
  addButton(Button::ThreadsCancel, fraThreads_, 6960, 2640, 855);

  fraError_ = newPage(QString());
  lblError_ = newLabel(QString(), fraError_, t_.rect(360, 480, 7455, 1800), true);
  addButton(Button::ErrorOk, fraError_, 6960, 2640, 855);

  fraLoading_ = newPage(QString());
  imgLoading_ = new Picture(spinPicture(0), fraLoading_);
  imgLoading_->setAccessibleName(getText(u"loading"));
  imgLoading_->setGeometry(t_.rect(720, 780, 720, 720));
  auto* lblLoading = newLabel(getText(u"loading"), fraLoading_, t_.rect(1680, 780, 6000, 420));
  QFont big = lblLoading->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  lblLoading->setFont(big);
  newLabel(getText(u"loading1"), fraLoading_, t_.rect(1680, 1260, 6300, 900), true);
  tmrload_ = new QTimer(this);
  tmrload_->setInterval(50);
  connect(tmrload_, &QTimer::timeout, this, &GraphicalWindow::nextSpinFrame);

  // From the top: the error box over the page that produced it, the loading
  // panel lowest.
  for (QWidget* page : {fraLoading_, fraHW_, fraScores_, fraSave_, fraLoad_, fraThreads_, fraError_}) page->raise();
  pagesChanged();
}

QString GraphicalWindow::spinPicture(int n) { return QStringLiteral(":/gui/pictures/spin%1.svg").arg(n); }

void GraphicalWindow::loading(bool turn) {
  isLoading_ = turn;
  fraLoading_->setVisible(turn);
  if (turn) {
    tmrload_->start();
  } else {
    tmrload_->stop();
  }
}

void GraphicalWindow::showWindow() {
  show();
  raise();
  activateWindow();
}

void GraphicalWindow::release() {
  hide();
  deleteLater();
}

void GraphicalWindow::nextSpinFrame() {
  ++spinFrame_;
  if (spinFrame_ > kSpinFrames - 1) spinFrame_ = 0;
  imgLoading_->setResource(spinPicture(spinFrame_));
}

void GraphicalWindow::resetButtons() {
  if (!bButtonAltered_) return;
  for (int i = 0; i < kButtons; ++i) {
    imgButton_[i]->setResource(kGrayBullet);
    lblButton_[i]->setHighlighted(false);
  }
  bButtonAltered_ = false;
}

void GraphicalWindow::buttonHover(Button b) {
  const auto n = static_cast<size_t>(b);
  resetButtons();
  imgButton_[n]->setResource(kBlueBullet);
  lblButton_[n]->setHighlighted(true);
  showToolTip(QString(), getText(key("button-", static_cast<int>(n), "-tooltip")));
  bButtonAltered_ = true;
}

void GraphicalWindow::mouseMoveEvent(QMouseEvent*) { resetButtons(); }

void GraphicalWindow::showToolTip(const QString& title, const QString& text) {
  fraToolTip_->setVisible(!text.isEmpty());
  fraToolTip_->setTitle(title);
  lblToolTip_->setText(labelText(text));
}

void GraphicalWindow::showError(const QString& text) {
  lblError_->setText(labelText(text));
  fraError_->show();
}

void GraphicalWindow::showPage(QWidget* page, QLineEdit* focus) {
  page->show();
  if (focus) {
    focus->setFocus();
    focus->selectAll();
  }
}

void GraphicalWindow::buttonClick(Button b) {
  switch (b) {
    case Button::Run32M:
      runTest(QStringLiteral("st 6"));
      break;
    case Button::Run1024M:
      runTest(QStringLiteral("st 11"));
      break;
    case Button::HardwareInfo:
      showHardwareInfo();
      showPage(fraHW_);
      break;
    case Button::HardwareOk:
      fraHW_->hide();
      break;
    case Button::ViewScores:
      showPage(fraScores_);
      browser_->refreshScores();
      browser_->updateNotes();
      // The list first, where the page's own buttons would take the focus.
      if (QWidget* icon = browser_->firstIcon(); icon && fraScores_->isAncestorOf(focusWidget())) icon->setFocus();
      break;
    case Button::ScoresOk:
      fraScores_->hide();
      break;
    case Button::LoadScore:
      showPage(fraLoad_, txtLoadPath_);
      break;
    case Button::ErrorOk:
      fraError_->hide();
      break;
    case Button::Save:
      save();
      break;
    case Button::SaveCancel:
      fraSave_->hide();
      break;
    case Button::Exit:
      host_.endProcess();
      break;
    case Button::LoadCancel:
      fraLoad_->hide();
      break;
    case Button::Load:
      load();
      break;
    case Button::LoadBrowse:
      browse(txtLoadPath_, false);
      break;
    case Button::SaveBrowse:
      browse(txtSavePath_, true);
      break;
    case Button::SetThreadCount:
      txtThreadCount_->setText(QString::number(host_.threads()));
      showPage(fraThreads_, txtThreadCount_);
      break;
    case Button::ThreadsOk:
      setThreadCount();
      break;
    case Button::ThreadsCancel:
      fraThreads_->hide();
      break;
  }
}

void GraphicalWindow::runTest(const QString& command) {
  hide();
  host_.setConsoleVisible(true);
  host_.setRevertToGui(true);
  host_.doInput(command, true);
}

void GraphicalWindow::save() {
  int result = 0;
  try {
    result = host_.scores().at(selectedScore_).saveScore(txtSavePath_->text(), *dialogs_).code();
  } catch (const RuntimeError& e) {
    result = e.code();  // no score chosen
  }
  if (result != 0) {
    showError(getText(u"error-save"));
  } else {
    fraSave_->hide();
  }
}

void GraphicalWindow::load() {
  scores::Score score;
  if (const Result<void> loaded = score.loadScore(txtLoadPath_->text()); !loaded) {
    const int result = loaded.code();
    const QString& reason = loaded.failure().text;
    QString text = getText(key("error-load-", result));
    // A result without a text of its own still says why.
    if (text.isEmpty()) {
      text = QStringLiteral("Unable to load this score file: ") +
             (reason.isEmpty() ? QStringLiteral("error %1").arg(result) : reason) + u'.';
    }
    showError(text);
    return;
  }
  host_.scores().append(std::move(score));
  browser_->addNewScores();
  fraLoad_->hide();
  browser_->updateNotes();
}

void GraphicalWindow::setThreadCount() {
  const QString text = txtThreadCount_->text();
  double v = 0;
  try {
    v = num::convertNumber(text);
  } catch (const RuntimeError& e) {
    // A number too large for any type is still a number, just out of range.
    showError(getText(e.code() == kOverflow ? u"error-threadcount" : u"error-threadcount1"));
    return;
  }
  if (scores::ThreadCount::inRange(v)) {
    host_.doInput(QStringLiteral("ft ") + num::formatGeneral(v), true);
    fraThreads_->hide();
  } else {
    showError(getText(u"error-threadcount"));
  }
}

void GraphicalWindow::browse(QLineEdit* box, bool forSaving) {
  // Not modal to the program: the console and its timers go on meanwhile.
  auto* dialog = new QFileDialog(this, getText(forSaving ? u"save" : u"load"), QFileInfo(box->text()).path());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog->setNameFilters({QStringLiteral("Score files (*.rxs)"), QStringLiteral("All Files (*)")});
  dialog->selectFile(box->text());
  // Its own size can be taller than a small screen at a large scale.
  if (const QScreen* screen = this->screen()) {
    const QSize room = screen->availableGeometry().size() * 0.9;
    dialog->resize(dialog->sizeHint().boundedTo(room));
  }
  QPointer<QLineEdit> target(box);
  connect(dialog, &QFileDialog::fileSelected, this, [target](const QString& file) {
    if (target) target->setText(QDir::toNativeSeparators(file));
  });
  dialog->open();
}

QString GraphicalWindow::noServerMessage(const QString& base) {
  return QStringLiteral("No result server answers at ") + base +
         QStringLiteral(". Start a result server (rootix-server), or set ROOTIX_SERVER.");
}

void GraphicalWindow::openServerPage(const QString& path) {
  const QString base = host_.serverBase();
  // The desktop would open any scheme, a script included.
  if (const QString refusal = submit::ServerAddress::refusal(base); !refusal.isEmpty()) {
    showError(refusal);
    return;
  }
  // One question at a time; a second click while it is out changes nothing.
  if (probing_) return;
  probing_ = true;
  const QPointer<GraphicalWindow> self(this);
  probe_->probe(base, [self, base, path](bool answered) {
    if (!self) return;
    self->probing_ = false;
    if (answered) {
      self->openPage(base + path);
    } else {
      self->dialogs_->alert(noServerMessage(base), console::kProductTitle);
    }
  });
}

void GraphicalWindow::openPage(const QString& address) {
  if (const Result<void> opened = host_.urlOpener().open(QUrl(address)); !opened) {
    const QString& error = opened.failure().text;
    showError(QStringLiteral("Unable to open ") + address + (error.isEmpty() ? QStringLiteral(".") : ": " + error));
  }
}

void GraphicalWindow::showHardwareInfo() {
  const scores::HardwareSummary& h = host_.hardware();
  const std::array<QString, kInfoRows> texts{
      h.score_extra_cpu_string + u'*' + h.score_extra_cpu_count,
      h.score_extra_cpu_core,
      h.score_extra_cpu_rev,
      h.score_extra_cpu_clock,
      h.score_extra_cpu_cache,
      h.score_extra_cpu_fsb,
      h.score_extra_cpu_vcore,
      h.score_extra_memType,
      h.score_extra_memSize,
      h.score_extra_memClock,
      h.score_extra_memTCas + u'-' + h.score_extra_memTRCD + u'-' + h.score_extra_memTRP + u'-' + h.score_extra_memTRAS,
      h.score_extra_mbModel,
      h.score_extra_mbVendor,
  };
  for (int r = 0; r < kInfoRows; ++r) {
    txtInfo_[r]->setText(texts[r]);
    txtInfo_[r]->setCursorPosition(0);
    // Processor and board names rarely fit their box.
    txtInfo_[r]->setToolTip(plainToolTip(texts[r]));
  }
}

void GraphicalWindow::scoreSave(int index) {
  if (host_.scores().at(index).hardware.score_extra_cpu_string.isEmpty()) {
    showError(getText(u"error-nohw-save"));
    return;
  }
  selectedScore_ = index;
  showPage(fraSave_, txtSavePath_);
}

void GraphicalWindow::scoreUpload(int index) {
  if (host_.scores().at(index).hardware.score_extra_cpu_string.isEmpty()) {
    showError(getText(u"error-nohw-upload"));
    return;
  }
  if (const Result<void> uploaded = host_.uploadScore(index); !uploaded) {
    const QString& error = uploaded.failure().text;
    showError(error.isEmpty() ? QStringLiteral("The score could not be uploaded.") : error);
  }
}

bool GraphicalWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
    if (watched->parent() == this && qobject_cast<QGroupBox*>(watched) && watched != fraToolTip_) pagesChanged();
    return false;
  }
  if (event->type() != QEvent::KeyPress || forwarding_ || !isVisible()) return false;
  auto* target = qobject_cast<QWidget*>(watched);
  if (!target || target->window() != this) return false;
  const auto* press = static_cast<QKeyEvent*>(event);
  if (press->key() == Qt::Key_QuoteLeft || press->key() == Qt::Key_Dead_Grave) {
    // The console may replace this window meanwhile: nothing of it is used after.
    leaveForConsole();
    return true;
  }
  const auto* box = qobject_cast<QLineEdit*>(target);
  const bool typing = box && !box->isReadOnly() && box->isVisible();
  const QPointer<GraphicalWindow> self(this);
  const QPointer<QWidget> receiver(target);
  // A hidden page's box keeps the focus when nothing else can take it; a
  // shortcut that shows its page again must not type into it as well.
  const bool receiverShown = target->isVisible();
  keyDown(press->key(), press->modifiers(), typing);
  if (!self) return true;
  // The control with the focus gets the key as well, unless the key closed its page.
  if (receiverShown && receiver && receiver->isVisible()) {
    forwarding_ = true;
    QCoreApplication::sendEvent(receiver, event);
    if (self) forwarding_ = false;
  }
  // Handled: a key left unaccepted travels on to the page and the window,
  // and each of them would act on it again.
  event->accept();
  return true;
}

void GraphicalWindow::keyDown(int key, Qt::KeyboardModifiers modifiers, bool typing) {
  // Letters and digits typed into a text box are text, not shortcuts: a path
  // with an "x" in it must not end the program.
  const bool shortcut = !typing;
  const bool mainDigit = shortcut && !(modifiers & Qt::KeypadModifier);
  switch (key) {
    case Qt::Key_3:
      if (mainDigit && fraThreads_->isHidden()) buttonClick(Button::Run32M);
      break;
    case Qt::Key_0:
      if (mainDigit && fraThreads_->isHidden()) buttonClick(Button::Run1024M);
      break;
    case Qt::Key_H:
      if (shortcut) buttonClick(Button::HardwareInfo);
      break;
    case Qt::Key_Escape:
      for (Button b : {Button::HardwareOk, Button::ScoresOk, Button::ErrorOk, Button::SaveCancel, Button::LoadCancel,
                       Button::ThreadsCancel}) {
        buttonClick(b);
      }
      break;
    case Qt::Key_S:
      if (shortcut) buttonClick(Button::ViewScores);
      break;
    case Qt::Key_L:
      if (shortcut) buttonClick(Button::LoadScore);
      break;
    case Qt::Key_T:
      if (shortcut) buttonClick(Button::SetThreadCount);
      break;
    case Qt::Key_X:
      if (shortcut) buttonClick(Button::Exit);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      const bool pageOpen = !fraError_->isHidden() || !fraHW_->isHidden() || !fraScores_->isHidden() ||
                            !fraLoad_->isHidden() || !fraSave_->isHidden() || !fraThreads_->isHidden();
      if (!pageOpen) {
        // With no page to confirm, Enter presses the control that has the focus.
        if (auto* control = qobject_cast<QAbstractButton*>(focusWidget()); control && control->isEnabled()) {
          control->click();
        }
        break;
      }
      // Each test sees what the previous action left.
      if (!fraError_->isHidden()) buttonClick(Button::ErrorOk);
      if (!fraHW_->isHidden()) buttonClick(Button::HardwareOk);
      if (!fraScores_->isHidden()) buttonClick(Button::ScoresOk);
      if (!fraLoad_->isHidden()) buttonClick(Button::Load);
      if (!fraSave_->isHidden()) buttonClick(Button::Save);
      if (!fraThreads_->isHidden()) buttonClick(Button::ThreadsOk);
      break;
    }
    default:
      break;
  }
}

void GraphicalWindow::leaveForConsole() {
  GuiHost& host = host_;
  const bool wasLoading = isLoading_;
  // The program's own close: hidden, not closed, so the process goes on.
  hide();
  host.setConsoleVisible(!host.consoleVisible());
  host.appendConsoleBreak();
  host.guiClosed();
  if (!wasLoading) {
    const QString line = host.getInput();
    host.doInput(line, false);
  }
}

QWidget* GraphicalWindow::topPage() const {
  for (QWidget* page : {fraError_, fraThreads_, fraLoad_, fraSave_, fraScores_, fraHW_, fraLoading_}) {
    if (!page->isHidden()) return page;
  }
  return nullptr;
}

namespace {

// The first control of a page that Tab would reach and that acts: a
// read-only box would only draw its focus frame where none was before.
QWidget* firstControlIn(QWidget* page, QWidget* window) {
  QWidget* w = window;
  do {
    w = w->nextInFocusChain();
    const auto* box = qobject_cast<QLineEdit*>(w);
    if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) && w->isEnabled() &&
        !(box && box->isReadOnly())) {
      return w;
    }
  } while (w != window);
  return nullptr;
}

}  // namespace

void GraphicalWindow::pagesChanged() {
  if (!fraLoading_) return;  // still being built
  QWidget* const top = topPage();
  QWidget* const before = shownTop_;
  // Taken first: a control that is disabled below passes its focus on.
  QWidget* const focus = focusWidget();
  // Whatever lies under the top page is covered: no clicks, no focus. The
  // header stays in front of every page.
  const bool menuInFront = top == nullptr;
  for (Button b : kMenu) {
    lblButton(b)->setEnabled(menuInFront);
    imgButton(static_cast<int>(b))->setEnabled(menuInFront);
  }
  fraToolTip_->setEnabled(menuInFront);
  const std::array<QWidget*, 7> fromTop{fraError_, fraThreads_, fraLoad_, fraSave_, fraScores_, fraHW_, fraLoading_};
  for (QWidget* page : fromTop) page->setEnabled(page == top);
  shownTop_ = top;
  if (top == before) return;

  // The menu is the lowest layer.
  auto rank = [&fromTop](QWidget* layer) {
    const auto at = std::find(fromTop.begin(), fromTop.end(), layer);
    return static_cast<int>(at - fromTop.begin());
  };
  QWidget* next = nullptr;
  if (rank(top) < rank(before)) {
    // Opened over what was in front: that layer's focus waits for its return.
    coveredFocus_[before] = focus && !(top && top->isAncestorOf(focus)) ? focus : nullptr;
    next = firstControlIn(top, this);
  } else {
    const QPointer<QWidget> kept = coveredFocus_.take(top);
    next = kept && kept->isEnabled() && kept->isVisibleTo(this) && (kept->focusPolicy() & Qt::TabFocus) ? kept.data()
           : top ? firstControlIn(top, this)
                 : lblButton(Button::Run32M);
  }
  if (next) next->setFocus(Qt::OtherFocusReason);
}

void GraphicalWindow::closeEvent(QCloseEvent* event) {
  // Only the user's close box (or the session ending) comes here.
  event->accept();
  host_.endProcess();
}

GuiWindow* createGraphicalWindow(GuiHost& host) { return new GraphicalWindow(host); }

}  // namespace rootix::gui
