#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <map>
#include <optional>

#include "engine/run_conditions.h"
#include "engine/run_listener.h"
#include "platform/result.h"

namespace rootix::app {

// The version of the record layout; bump it when a field changes meaning.
inline constexpr int kRunRecordSchemaVersion = 1;

// What a record says besides the run and its conditions.
struct RecordMeta {
  QString runId;      // 32 hex digits, random
  QString startedAt;  // UTC, ISO 8601
  QString kernel;     // "AVX512/fma+div"
  bool kernelForced = false;
};

// The conditions that spoil a measurement, in words.
QStringList conditionWarnings(const engine::RunResult& result, const engine::RunConditions& conditions);

// The codename our own table gives the processor; empty when it does not
// know it or its instruction sets contradict its model number.
QString codenameFor(const engine::MachineFacts& machine);

// One run's record as the schema in docs/ describes it.
QJsonObject makeRunRecord(const engine::RunResult& result, const engine::RunConditions& conditions,
                          const QStringList& warnings, const RecordMeta& meta);

// A record as the submission page carries it: without the workers, ASCII only.
QByteArray conditionsForSubmission(const QJsonObject& record);

// Keeps the conditions of every run the console shows: reads them before,
// during (every 100 ms once a run has lasted a second, so short runs are not
// disturbed) and after, warns about what spoils the measurement, and appends
// the run's record to the chosen JSON Lines file.
class RunRecorder : public engine::RunReporter {
 public:
  struct Services {
    // A condition that spoils a measurement (never on standard output).
    std::function<void(const QString&)> warn;
    // A record that could not be written.
    std::function<void(const QString&)> error;
    // The processor's codename (empty: codenameFor).
    std::function<QString(const engine::MachineFacts&)> codename;
    const engine::ConditionSource* source = nullptr;  // null: the running system
  };

  explicit RunRecorder(Services services);

  // Where records go from now on; a failure says why not (the earlier
  // choice then stays).
  Result<void> setPath(const QString& path);
  void off() { path_.clear(); }
  const QString& path() const { return path_; }

  void runStarting(const engine::RunStart& start) override;
  void runEnded(const engine::RunResult& result) override;

  // The last recorded run's record, if the last run was recorded.
  const std::optional<QJsonObject>& lastRecord() const { return last_; }
  // The record of the run of test that took exactly seconds (a record's
  // time), if it was recorded: runs without errors outside quick mode only.
  std::optional<QJsonObject> recordOf(int test, double seconds) const;

 private:
  void sampleClock();

  Services services_;
  engine::ConditionSource ownSource_;
  std::optional<engine::MachineFacts> facts_;
  QString path_;
  bool watching_ = false;
  engine::RunConditions conditions_;
  engine::LoadSample loadBefore_;
  RecordMeta meta_;
  QTimer sampler_;
  std::optional<QJsonObject> last_;
  std::map<std::pair<int, double>, QJsonObject> scored_;
};

}  // namespace rootix::app
