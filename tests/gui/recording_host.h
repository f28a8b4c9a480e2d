#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>
#include <ostream>
#include <utility>
#include <vector>

#include "gui/gui_host.h"
#include "gui/server_probe.h"
#include "platform/url_opener.h"
#include "scores/hardware_summary.h"
#include "scores/score_list.h"

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '{' << l.join(u", ").toStdString() << '}'; }

namespace rootix::gui::testing {

class RecordingOpener : public platform::UrlOpener {
 public:
  QList<QUrl> opened;
  QString failure;  // when set, opening fails with this reason
  Result<void> open(const QUrl& url) override {
    opened << url;
    if (failure.isEmpty()) return {};
    return Failure{kInvalidProcedureCall, failure};
  }
};

// Answers for the result server at once (or later, when told to hold).
class FakeProbe : public ServerProbe {
 public:
  bool answer = true;
  bool hold = false;  // keep the callbacks for the test to call
  QStringList asked;
  std::vector<std::function<void(bool)>> held;
  void probe(const QString& base, std::function<void(bool)> answered) override {
    asked << base;
    if (hold) {
      held.push_back(std::move(answered));
    } else {
      answered(answer);
    }
  }
};

// The program around the window, reduced to what the window asks of it; it
// records every call the window makes.
class RecordingHost : public GuiHost {
 public:
  struct Input {
    QString cmd;
    bool noReturn;
    friend bool operator==(const Input&, const Input&) = default;
    friend void PrintTo(const Input& i, std::ostream* os) { *os << '"' << i.cmd.toStdString() << "\" " << i.noReturn; }
  };
  std::vector<Input> inputs;
  std::deque<QString> consoleLines;  // what getInput returns, in turn
  int getInputs = 0;
  int threadCount = 4;
  bool revertToGui = false;
  bool console = false;
  int consoleBreaks = 0;
  int closedNotices = 0;
  scores::ScoreList list;
  scores::HardwareSummary summary;
  // Test records not yet made into scores: (test, seconds).
  std::vector<std::pair<int16_t, double>> records;
  RecordingOpener opener;
  std::vector<int> uploads;
  QString uploadFailure;
  int endProcesses = 0;

  void doInput(const QString& cmd, bool noReturn) override { inputs.push_back({cmd, noReturn}); }
  QString getInput() override {
    ++getInputs;
    if (consoleLines.empty()) return {};
    QString line = consoleLines.front();
    consoleLines.pop_front();
    return line;
  }
  int threads() const override { return threadCount; }
  void setRevertToGui(bool on) override { revertToGui = on; }
  bool consoleVisible() const override { return console; }
  void setConsoleVisible(bool visible) override { console = visible; }
  void appendConsoleBreak() override { ++consoleBreaks; }
  void guiClosed() override { ++closedNotices; }
  scores::ScoreList& scores() override { return list; }
  const scores::HardwareSummary& hardware() const override { return summary; }
  int takeRecordsIntoScores() override {
    for (const auto& [test, seconds] : records) list.append(scores::Score::Create(seconds, test, summary));
    const int made = static_cast<int>(records.size());
    records.clear();
    return made;
  }
  QString base = QStringLiteral("http://results.example");
  QString serverBase() const override { return base; }
  platform::UrlOpener& urlOpener() override { return opener; }
  Result<void> uploadScore(int index) override {
    uploads.push_back(index);
    if (uploadFailure.isEmpty()) return {};
    return Failure{kInvalidProcedureCall, uploadFailure};
  }
  void endProcess() override { ++endProcesses; }
};

}  // namespace rootix::gui::testing
