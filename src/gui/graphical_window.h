#pragma once

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "gui/gui_host.h"
#include "gui/twips.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace rootix::platform {
class Dialogs;
}

namespace rootix::gui {

class ButtonLabel;
class Picture;
class PictureButton;
class ScoreBrowser;
class ServerProbe;

// The window's buttons; the numbers name their captions ("button-" + n).
enum class Button : int {
  Run32M = 0,
  Run1024M = 1,
  HardwareInfo = 2,
  HardwareOk = 3,
  ViewScores = 4,
  ScoresOk = 5,
  LoadScore = 6,
  ErrorOk = 7,
  Save = 8,
  SaveCancel = 9,
  Exit = 10,
  LoadCancel = 11,
  Load = 12,
  LoadBrowse = 13,
  SaveBrowse = 14,
  SetThreadCount = 15,
  ThreadsOk = 16,
  ThreadsCancel = 17,
};

// The graphical front end: a menu, an information panel and pages over
// them. It does no work of its own: runs and the thread count go to the
// console's interpreter as command lines, scores through the host.
class GraphicalWindow : public QWidget, public GuiWindow {
  Q_OBJECT

 public:
  static constexpr int kButtons = 18;
  static constexpr int kInfoRows = 13;
  static constexpr int kSpinFrames = 5;

  // dialogs asks before a save replaces a file and says when no result
  // server answers; probe asks whether one does. The window's own message
  // boxes and an HTTP probe when null.
  explicit GraphicalWindow(GuiHost& host, platform::Dialogs* dialogs = nullptr, ServerProbe* probe = nullptr);
  ~GraphicalWindow() override;

  void loading(bool turn) override;
  bool isLoading() const override { return isLoading_; }
  void showWindow() override;
  void release() override;

  // The controls by their names, for tests and screenshots.
  ButtonLabel* lblButton(int n) const { return lblButton_.at(n); }
  ButtonLabel* lblButton(Button b) const { return lblButton(static_cast<int>(b)); }
  Picture* imgButton(int n) const { return imgButton_.at(n); }
  PictureButton* image2() const { return image2_; }
  PictureButton* image3() const { return image3_; }
  QGroupBox* fraToolTip() const { return fraToolTip_; }
  QLabel* lblToolTip() const { return lblToolTip_; }
  QGroupBox* fraHW() const { return fraHW_; }
  QGroupBox* fraScores() const { return fraScores_; }
  QGroupBox* fraSave() const { return fraSave_; }
  QGroupBox* fraLoad() const { return fraLoad_; }
  QGroupBox* fraThreads() const { return fraThreads_; }
  QGroupBox* fraError() const { return fraError_; }
  QGroupBox* fraLoading() const { return fraLoading_; }
  QLabel* lblInfo(int r) const { return lblInfo_.at(r); }
  QLineEdit* txtInfo(int r) const { return txtInfo_.at(r); }
  QLabel* lblError() const { return lblError_; }
  QLineEdit* txtSavePath() const { return txtSavePath_; }
  QLineEdit* txtLoadPath() const { return txtLoadPath_; }
  QLineEdit* txtThreadCount() const { return txtThreadCount_; }
  Picture* imgLoading() const { return imgLoading_; }
  QTimer* tmrload() const { return tmrload_; }
  ScoreBrowser* scoreBrowser() const { return browser_; }
  int selectedScore() const { return selectedScore_; }
  int16_t spinFrame() const { return spinFrame_; }

  // The picture of the loading animation's frame n.
  static QString spinPicture(int n);
  // What the picture links say when nothing answers at base.
  static QString noServerMessage(const QString& base);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildHeaderAndMenu();
  void buildPages();
  QGroupBox* newPage(const QString& title);
  // The save and load pages: text, path box, Browse, confirm and Cancel.
  QGroupBox* newPathPage(const char16_t* title, const char16_t* info, std::array<Button, 3> buttons, QLineEdit** box);
  void addButton(Button b, QWidget* parent, int x, int y, int width = 1500);

  void buttonClick(Button b);
  void buttonHover(Button b);
  void resetButtons();
  void showToolTip(const QString& title, const QString& text);
  void showHardwareInfo();
  void showError(const QString& text);
  void showPage(QWidget* page, QLineEdit* focus = nullptr);

  void runTest(const QString& command);
  void save();
  void load();
  void setThreadCount();
  void browse(QLineEdit* box, bool forSaving);
  // The picture links: only to a result server that answers.
  void openServerPage(const QString& path);
  void openPage(const QString& address);
  void scoreSave(int index);
  void scoreUpload(int index);
  void nextSpinFrame();

  // Form_KeyDown. typing: an editable text box has the keyboard focus.
  void keyDown(int key, Qt::KeyboardModifiers modifiers, bool typing);
  void leaveForConsole();
  // The open page on top, or null when the menu is in front.
  QWidget* topPage() const;
  // Only what is in front takes clicks and focus: the top page (or the menu)
  // and the header. Focus goes back where it was when a page closes.
  void pagesChanged();

  GuiHost& host_;
  std::unique_ptr<platform::Dialogs> ownDialogs_;
  platform::Dialogs* dialogs_;
  std::unique_ptr<ServerProbe> ownProbe_;
  ServerProbe* probe_;
  Twips t_;

  std::array<ButtonLabel*, kButtons> lblButton_{};
  std::array<Picture*, kButtons> imgButton_{};
  PictureButton* image2_ = nullptr;
  PictureButton* image3_ = nullptr;
  QGroupBox* fraToolTip_ = nullptr;
  QLabel* lblToolTip_ = nullptr;

  QGroupBox* fraHW_ = nullptr;
  QGroupBox* fraScores_ = nullptr;
  QGroupBox* fraSave_ = nullptr;
  QGroupBox* fraLoad_ = nullptr;
  QGroupBox* fraThreads_ = nullptr;
  QGroupBox* fraError_ = nullptr;
  QGroupBox* fraLoading_ = nullptr;
  std::array<QLabel*, kInfoRows> lblInfo_{};
  std::array<QLineEdit*, kInfoRows> txtInfo_{};
  QLabel* lblError_ = nullptr;
  QLineEdit* txtSavePath_ = nullptr;
  QLineEdit* txtLoadPath_ = nullptr;
  QLineEdit* txtThreadCount_ = nullptr;
  Picture* imgLoading_ = nullptr;
  QTimer* tmrload_ = nullptr;
  ScoreBrowser* browser_ = nullptr;

  bool bButtonAltered_ = false;
  bool isLoading_ = false;
  int selectedScore_ = 0;
  int16_t spinFrame_ = 0;
  // Set while a key is handed on to the control that has the focus.
  bool forwarding_ = false;
  // A picture link waits for the server's answer.
  bool probing_ = false;
  QWidget* shownTop_ = nullptr;
  // Per layer (a page, or null for the menu): the control that had the focus
  // when something covered it.
  QHash<QWidget*, QPointer<QWidget>> coveredFocus_;
};

// The window for the controller ("gui"); the caller owns it until release().
GuiWindow* createGraphicalWindow(GuiHost& host);

}  // namespace rootix::gui
