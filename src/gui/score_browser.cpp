#include "gui/score_browser.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>

#include "gui/gui_host.h"
#include "gui/language.h"
#include "gui/picture.h"
#include "gui/picture_button.h"
#include "gui/plain_text.h"
#include "platform/numbers.h"
#include "scores/score_list.h"

namespace rootix::gui {
namespace {

// The list shows six rows 360 twips apart; each further row scrolls by one.
constexpr int kPitch = 360;
constexpr int kShownRows = 6;

const QString kSaveIcon = QStringLiteral(":/gui/pictures/score-save.svg");
const QString kUploadIcon = QStringLiteral(":/gui/pictures/score-upload.svg");
const QString kDeleteIcon = QStringLiteral(":/gui/pictures/score-delete.svg");

// A summary that does not fit ends in "..." and shows whole as a tool tip.
class SummaryLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, shown());
  }
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    setToolTip(shown() == text() ? QString() : plainToolTip(text()));
  }

 private:
  QString shown() const { return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width()); }
};

}  // namespace

QString summaryLine(const scores::Score& score) {
  const scores::HardwareSummary& h = score.hardware;
  // 2^(test + 9) / 1024 without an intermediate that could overflow.
  const double millions = std::ldexp(1.0, score.score_test - 1);
  return num::numberText(millions) + QStringLiteral("M - ") +
         num::numberText(num::roundDecimals(score.score_score, 3)) + QStringLiteral(" sec (") +
         h.score_extra_cpu_clock + u' ' + h.score_extra_cpu_core + u' ' + h.score_extra_cpu_rev + u'*' +
         h.score_extra_cpu_count + u')';
}

ScoreBrowser::ScoreBrowser(GuiHost& host, const Twips& twips, QWidget* parent)
    : QWidget(parent), host_(host), t_(twips) {
  list_ = new QScrollArea(this);
  list_->setFrameShape(QFrame::StyledPanel);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list_->setWidgetResizable(true);
  const int frame = 2 * list_->frameWidth();
  list_->setGeometry(0, 0, t_.px(6120), t_.px(kShownRows * kPitch) + frame);
  // Tab goes from icon to icon and scrolls each into view; the list itself
  // is no stop.
  list_->setFocusPolicy(Qt::NoFocus);
  list_->verticalScrollBar()->setSingleStep(t_.px(kPitch));
  // The range is known only once the list's layout has run.
  connect(list_->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int max) {
    if (!followEnd_ || !isVisible()) return;
    list_->verticalScrollBar()->setValue(max);
    followEnd_ = false;
  });

  rowsWidget_ = new QWidget;
  rowsLayout_ = new QVBoxLayout(rowsWidget_);
  rowsLayout_->setContentsMargins(0, 0, 0, 0);
  rowsLayout_->setSpacing(0);
  rowsLayout_->addStretch(1);
  list_->setWidget(rowsWidget_);

  lblNoScores_ = new QLabel(getText(u"noscores"), this);
  lblNoScores_->setGeometry(t_.rect(120, 120, 5880, 300));

  // The legend explains the three icons, in the order they stand in a row.
  picScoreInfo_ = new QWidget(this);
  picScoreInfo_->setGeometry(t_.rect(6300, 0, 1635, 3 * kPitch));
  const std::array<std::pair<QString, const char16_t*>, 3> legend{
      {{kUploadIcon, u"score-info-upload"}, {kSaveIcon, u"score-info-save"}, {kDeleteIcon, u"score-info-delete"}}};
  for (int i = 0; i < 3; ++i) {
    auto* icon = new Picture(legend[i].first, picScoreInfo_);
    icon->setGeometry(t_.rect(0, i * kPitch + 60, 240, 240));
    auto* label = new QLabel(getText(legend[i].second), picScoreInfo_);
    label->setObjectName(QStringLiteral("lblScoreInfo%1").arg(i));
    label->setGeometry(t_.rect(330, i * kPitch, 1305, kPitch));
  }
  picScoreInfo_->hide();
}

void ScoreBrowser::addNewScores() {
  const int before = rowCount();
  while (rowCount() < host_.scores().count()) addRow(rowCount() + 1);
  if (rowCount() != before) placeRows();
  updateNotes();
}

void ScoreBrowser::placeRows() {
  // At once, not when the event loop gets to it: the page may be drawn or
  // grabbed before that.
  rowsLayout_->activate();
  // A hidden list is not told that its rows grew: it would show them later
  // squeezed into the height it had, without a scroll bar.
  QEvent grown(QEvent::LayoutRequest);
  QCoreApplication::sendEvent(list_, &grown);
}

void ScoreBrowser::refreshScores() {
  addNewScores();
  if (host_.takeRecordsIntoScores() > 0) addNewScores();
}

QWidget* ScoreBrowser::firstIcon() const {
  for (const Row& r : rows_) {
    if (!r.row->isHidden()) return r.upload;
  }
  return nullptr;
}

void ScoreBrowser::updateNotes() {
  lblNoScores_->setVisible(visibleScoreCount_ == 0);
  picScoreInfo_->setVisible(visibleScoreCount_ == 1);
}

void ScoreBrowser::addRow(int index) {
  const scores::Score& score = host_.scores().at(index);
  Row r;
  r.row = new QWidget(rowsWidget_);
  r.row->setFixedHeight(t_.px(kPitch));
  r.summary = new SummaryLabel(summaryLine(score), r.row);
  // In the order they stand, which is the order Tab takes them in.
  r.upload = new PictureButton(kUploadIcon, QStringLiteral("Upload score"), r.row);
  r.save = new PictureButton(kSaveIcon, QStringLiteral("Save score"), r.row);
  r.remove = new PictureButton(kDeleteIcon, QStringLiteral("Delete score"), r.row);
  auto* layout = new QHBoxLayout(r.row);
  layout->setContentsMargins(t_.px(1020), 0, t_.px(60), 0);
  layout->addWidget(r.summary);
  r.upload->setGeometry(t_.rect(60, 60, 240, 240));
  r.save->setGeometry(t_.rect(360, 60, 240, 240));
  r.remove->setGeometry(t_.rect(660, 60, 240, 240));
  r.upload->setToolTip(getText(u"score-info-upload"));
  r.save->setToolTip(getText(u"score-info-save"));
  r.remove->setToolTip(getText(u"score-info-delete"));
  // A screen reader says which score an icon acts on.
  for (PictureButton* icon : {r.upload, r.save, r.remove}) icon->setAccessibleDescription(r.summary->text());
  // A new control joins the end of the window's Tab order, after the rows
  // before it; the page's own buttons follow the last row again.
  QWidget* previous = r.remove;
  for (QWidget* control : std::as_const(afterRows_)) {
    QWidget::setTabOrder(previous, control);
    previous = control;
  }
  connect(r.save, &QAbstractButton::clicked, this, [this, index] { Q_EMIT saveClicked(index); });
  connect(r.upload, &QAbstractButton::clicked, this, [this, index] { Q_EMIT uploadClicked(index); });
  connect(r.remove, &QAbstractButton::clicked, this, [this, index] { deleteRow(index); });
  rows_.push_back(r);
  rowsLayout_->insertWidget(rowsLayout_->count() - 1, r.row);

  r.row->setVisible(score.score_visible);
  if (score.score_visible) {
    // Beyond six rows the list shows its end, where the new row is.
    if (visibleScoreCount_ >= kShownRows) followEnd_ = true;
    ++visibleScoreCount_;
  }
  updateNotes();
}

void ScoreBrowser::deleteRow(int index) {
  Row& r = rows_.at(index - 1);
  if (r.row->isHidden()) return;
  r.row->hide();
  host_.scores().at(index).score_visible = false;
  --visibleScoreCount_;
  placeRows();
  updateNotes();
}

void ScoreBrowser::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (followEnd_) list_->verticalScrollBar()->setValue(list_->verticalScrollBar()->maximum());
}

}  // namespace rootix::gui
