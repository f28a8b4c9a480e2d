#pragma once

#include <QLabel>
#include <QWidget>
#include <vector>

#include "gui/twips.h"

class QScrollArea;
class QVBoxLayout;

namespace rootix::scores {
class Score;
}

namespace rootix::gui {

class GuiHost;
class PictureButton;

// The summary line of a score in the list: "32M - 1.234 sec (clock core rev*count)".
QString summaryLine(const scores::Score& score);

// The score list of the scores page. Row n shows scores(n) of the host's
// list, whether visible or not, so a row's icons always act on the score it
// shows; a deleted row stays as a hidden row and keeps its place.
class ScoreBrowser : public QWidget {
  Q_OBJECT

 public:
  ScoreBrowser(GuiHost& host, const Twips& twips, QWidget* parent);

  // Adds a row for every score of the list that has none yet, in order
  // (what AddToForm does for one score, for all that are missing).
  void addNewScores();
  // Fills the list, turns new test records into scores (once) and lists them.
  void refreshScores();
  // The note when no score is listed, the legend exactly when one is.
  void updateNotes();
  // The page's controls that Tab reaches after the last row, in order.
  void setControlsAfterRows(QList<QWidget*> controls) { afterRows_ = std::move(controls); }

  // The first icon of the first listed row, or null.
  QWidget* firstIcon() const;

  int rowCount() const { return static_cast<int>(rows_.size()); }
  int visibleScoreCount() const { return visibleScoreCount_; }

  // Rows are numbered from 1, like the scores they show.
  QWidget* row(int n) const { return rows_.at(n - 1).row; }
  QLabel* lblScoreSummary(int n) const { return rows_.at(n - 1).summary; }
  PictureButton* imgScoreSave(int n) const { return rows_.at(n - 1).save; }
  PictureButton* imgScoreUpload(int n) const { return rows_.at(n - 1).upload; }
  PictureButton* imgScoreDelete(int n) const { return rows_.at(n - 1).remove; }
  QWidget* picScoreInfo() const { return picScoreInfo_; }
  QLabel* lblNoScores() const { return lblNoScores_; }
  QScrollArea* list() const { return list_; }

 Q_SIGNALS:
  void saveClicked(int index);
  void uploadClicked(int index);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Row {
    QWidget* row;
    QLabel* summary;
    PictureButton* upload;
    PictureButton* save;
    PictureButton* remove;
  };

  void addRow(int index);
  void deleteRow(int index);
  void placeRows();

  GuiHost& host_;
  Twips t_;
  QScrollArea* list_;
  QWidget* rowsWidget_;
  QVBoxLayout* rowsLayout_;
  QWidget* picScoreInfo_;
  QLabel* lblNoScores_;
  std::vector<Row> rows_;
  QList<QWidget*> afterRows_;
  int visibleScoreCount_ = 0;
  // A row was added beyond the sixth: show the end once the range is known.
  bool followEnd_ = false;
};

}  // namespace rootix::gui
