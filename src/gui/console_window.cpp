#include "gui/console_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScrollBar>
#include <QTextBlock>

#include "gui/picture.h"

namespace rootix::gui {
namespace {

QFont consoleFont() {
  QFont font(QStringLiteral("Courier New"));
  font.setPointSizeF(8.25);
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  if (!QFontInfo(font).fixedPitch()) {
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(8.25);
    return fixed;
  }
  return font;
}

}  // namespace

ConsoleWindow::ConsoleWindow(const QString& title)
    : txtOut_(new QPlainTextEdit(this)), txtConsole_(new QLineEdit(this)) {
  setWindowTitle(title);
  setWindowIcon(programIcon());
  setObjectName(QStringLiteral("frmMain"));
  resize(680, 440);
  txtOut_->setObjectName(QStringLiteral("txtOut"));
  txtConsole_->setObjectName(QStringLiteral("txtConsole"));
  const QFont font = consoleFont();
  txtOut_->setFont(font);
  txtConsole_->setFont(font);
  txtOut_->setReadOnly(true);
  txtOut_->setUndoRedoEnabled(false);
  // A run's lines are its result: a screen reader reads them as text, and
  // the keyboard can move through them (Tab from the input line).
  txtOut_->setAccessibleName(QStringLiteral("Transcript"));
  txtConsole_->setAccessibleName(QStringLiteral("Command"));
  txtOut_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  txtOut_->setTabChangesFocus(true);
  txtConsole_->setFrame(false);
  txtConsole_->hide();
  txtOut_->installEventFilter(this);
  connect(txtConsole_, &QLineEdit::returnPressed, this, [this] { ready_ = true; });
}

void ConsoleWindow::appendRaw(const QString& text) {
  QTextCursor cursor(txtOut_->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text);
  txtOut_->moveCursor(QTextCursor::End);
  txtOut_->ensureCursorVisible();
}

void ConsoleWindow::lineAppended(const QString& line, bool cleared) {
  if (cleared) txtOut_->setPlainText(QStringLiteral("Clearing console\n"));
  appendRaw(line + u'\n');
}

void ConsoleWindow::textAppended(const QString& text) {
  appendRaw(text);
  // The prompt is printed after the box is shown: keep the box just after it.
  if (txtConsole_->isVisible()) placeInput();
}

void ConsoleWindow::beginInput() {
  ready_ = false;
  txtConsole_->clear();
  txtConsole_->show();
  placeInput();
  if (QWidget::isVisible()) txtConsole_->setFocus();
}

QString ConsoleWindow::takeLine() {
  ready_ = false;
  return txtConsole_->text();
}

void ConsoleWindow::endInput() { txtConsole_->hide(); }

void ConsoleWindow::placeInput() {
  // Sits just after the prompt on the transcript's last line; kept inside the
  // window when the transcript is taller than it.
  const QRect caret = txtOut_->cursorRect();
  const int boxHeight = txtConsole_->sizeHint().height();
  int top = txtOut_->geometry().top() + caret.top() - (boxHeight - caret.height()) / 2;
  if (height() - boxHeight < top) top = height() - boxHeight - 9;
  const int left = txtOut_->geometry().left() + caret.right() + 1;
  txtConsole_->setGeometry(left, top, std::max(10, width() - left - 30), boxHeight);
}

void ConsoleWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  txtOut_->setGeometry(0, 0, width(), QWidget::height());
  if (txtConsole_->isVisible()) placeInput();
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (onClose) onClose();
}

bool ConsoleWindow::eventFilter(QObject* watched, QEvent* event) {
  // Clicks into the transcript keep the cursor in the input line; Tab may
  // go there to read it.
  if (watched == txtOut_ && event->type() == QEvent::FocusIn && txtConsole_->isVisible()) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason) txtConsole_->setFocus();
  }
  return QWidget::eventFilter(watched, event);
}

void WidgetDialogs::alert(const QString& text, const QString& caption) {
  QMessageBox::information(parent_, caption, text);
}

bool WidgetDialogs::askYesNo(const QString& text, const QString& caption) {
  return QMessageBox::question(parent_, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void SystemClipboard::setText(const QString& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(text);
}

}  // namespace rootix::gui
