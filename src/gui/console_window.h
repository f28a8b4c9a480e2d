#pragma once

#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>
#include <functional>

#include "console/console.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"

namespace rootix::gui {

// The console window: the transcript in a read-only box and a one-line input
// box laid over its last line, so ">" and the typed text read as one line.
class ConsoleWindow : public QWidget, public console::ConsoleFace {
  Q_OBJECT

 public:
  explicit ConsoleWindow(const QString& title);

  void lineAppended(const QString& line, bool cleared) override;
  void textAppended(const QString& text) override;
  void beginInput() override;
  bool lineReady() override { return ready_; }
  QString takeLine() override;
  void endInput() override;
  bool isVisible() const override { return QWidget::isVisible(); }
  void setVisible(bool visible) override { QWidget::setVisible(visible); }

  QPlainTextEdit* output() const { return txtOut_; }
  QLineEdit* input() const { return txtConsole_; }

  // Closing the window ends the program, as "exit" does.
  std::function<void()> onClose;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void placeInput();
  void appendRaw(const QString& text);

  QPlainTextEdit* txtOut_;
  QLineEdit* txtConsole_;
  bool ready_ = false;
};

class WidgetDialogs : public platform::Dialogs {
 public:
  explicit WidgetDialogs(QWidget* parent) : parent_(parent) {}
  void alert(const QString& text, const QString& caption) override;
  bool askYesNo(const QString& text, const QString& caption) override;

 private:
  QWidget* parent_;
};

class SystemClipboard : public platform::Clipboard {
 public:
  void setText(const QString& text) override;
};

}  // namespace rootix::gui
