#include "app/run_record.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

#include "app/json_lines.h"
#include "hardware/codenames.h"
#include "rootix/version.h"

namespace rootix::app {
namespace {

// Clock readings start once a run has lasted this long, then come this often.
constexpr int kFirstSampleMs = 1000;
constexpr int kSampleMs = 100;

QString fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }

QJsonValue orNull(const std::optional<QString>& text) { return text ? QJsonValue(*text) : QJsonValue(); }
QJsonValue orNull(int value) { return value < 0 ? QJsonValue() : QJsonValue(value); }
QJsonValue orNull(double value, bool known) { return known ? QJsonValue(value) : QJsonValue(); }

QString randomRunId() {
  quint32 words[4];
  QRandomGenerator::system()->fillRange(words);
  QString id;
  for (quint32 w : words) id += QStringLiteral("%1").arg(w, 8, 16, QChar(u'0'));
  return id;
}

}  // namespace

QString codenameFor(const engine::MachineFacts& m) {
  hardware::CpuSignature cpu;
  cpu.vendor = m.vendor.toStdString();
  cpu.family = m.family;
  cpu.model = m.model;
  cpu.stepping = m.stepping;
  cpu.features = hardware::cpuFeaturesFromFlags(m.flags.toStdString());
  cpu.brand = m.processor.toStdString();
  return QString::fromStdString(hardware::codenameOf(cpu));
}

QStringList conditionWarnings(const engine::RunResult& result, const engine::RunConditions& c) {
  QStringList warnings;
  const int threads = static_cast<int>(result.workers.size());
  if (c.governor == QStringLiteral("powersave")) {
    warnings << QStringLiteral("The processor's governor is \"powersave\": its clock may stay low during the run.");
  }
  if (c.loadBefore >= 0 && threads > 0 && c.loadBefore > threads / 10.0) {
    warnings << QStringLiteral(
                    "The load before the run was %1, more than a tenth of the %2 threads: other "
                    "programs were busy.")
                    .arg(fixed(c.loadBefore, 2))
                    .arg(threads);
  }
  if (c.stealPercent > 1) {
    warnings << QStringLiteral("The hypervisor took %1 % of the processor time during the run (steal time).")
                    .arg(fixed(c.stealPercent, 1));
  }
  if (c.mhzSamples >= 2 && c.mhzMin < 0.9 * c.mhzMax) {
    warnings << QStringLiteral("The clock dropped by more than a tenth during the run (from %1 to %2 MHz).")
                    .arg(fixed(c.mhzMax, 0), fixed(c.mhzMin, 0));
  }
  if (result.seconds > 0 && result.startupSeconds > result.seconds / 10) {
    warnings << QStringLiteral(
                    "Starting the %1 workers took %2 s of the run's %3 s: this time measures thread "
                    "start-up, not the processor.")
                    .arg(threads)
                    .arg(fixed(result.startupSeconds, 3), fixed(result.seconds, 3));
  }
  return warnings;
}

QJsonObject makeRunRecord(const engine::RunResult& result, const engine::RunConditions& c, const QStringList& warnings,
                          const RecordMeta& meta) {
  const engine::MachineFacts& m = c.machine;
  QJsonArray kinds;
  for (const engine::CoreKind& k : m.coreKinds) {
    kinds.append(QJsonObject{{QStringLiteral("efficiency"), orNull(k.efficiency)},
                             {QStringLiteral("type"), k.type.isEmpty() ? QJsonValue() : QJsonValue(k.type)},
                             {QStringLiteral("cores"), k.cores}});
  }
  const bool clocked = c.mhzSamples > 0;
  const QJsonObject conditions{
      {QStringLiteral("processor"), m.processor},
      {QStringLiteral("vendor"), m.vendor},
      {QStringLiteral("family"), orNull(m.family)},
      {QStringLiteral("model"), orNull(m.model)},
      {QStringLiteral("stepping"), orNull(m.stepping)},
      {QStringLiteral("microcode"), m.microcode},
      {QStringLiteral("codename"), m.codename},
      {QStringLiteral("logical_cpus"), m.logicalCpus},
      {QStringLiteral("cores"), m.cores},
      {QStringLiteral("smt"), m.smt},
      {QStringLiteral("core_kinds"), kinds},
      {QStringLiteral("hypervisor"), orNull(m.hypervisor)},
      {QStringLiteral("governor"), orNull(c.governor)},
      {QStringLiteral("mhz_min"), orNull(c.mhzMin, clocked)},
      {QStringLiteral("mhz_avg"), orNull(c.mhzAvg, clocked)},
      {QStringLiteral("mhz_max"), orNull(c.mhzMax, clocked)},
      {QStringLiteral("load_before"), orNull(c.loadBefore, c.loadBefore >= 0)},
      {QStringLiteral("steal_percent"), c.stealPercent},
      {QStringLiteral("memory_mb"), m.memoryMb},
      {QStringLiteral("kernel_release"), m.kernelRelease},
  };
  QJsonArray workers;
  for (const engine::WorkerSummary& w : result.workers) {
    workers.append(QJsonObject{{QStringLiteral("first"), w.first},
                               {QStringLiteral("last"), w.last},
                               {QStringLiteral("seconds"), w.seconds},
                               {QStringLiteral("cpu"), orNull(w.cpu)}});
  }
  return QJsonObject{
      {QStringLiteral("schema_version"), kRunRecordSchemaVersion},
      {QStringLiteral("run_id"), meta.runId},
      {QStringLiteral("rootix_version"), QStringLiteral(ROOTIX_VERSION)},
      {QStringLiteral("started_at"), meta.startedAt},
      {QStringLiteral("test"), result.test},
      {QStringLiteral("numbers"), result.numbers},
      {QStringLiteral("threads"), static_cast<int>(result.workers.size())},
      {QStringLiteral("seconds"), result.seconds},
      {QStringLiteral("errors"), result.errors},
      {QStringLiteral("kernel"), meta.kernel},
      {QStringLiteral("kernel_choice"), meta.kernelForced ? QStringLiteral("forced") : QStringLiteral("timed")},
      {QStringLiteral("cache_mode"), result.cache},
      {QStringLiteral("quick_mode"), result.quickMode},
      {QStringLiteral("workers"), workers},
      {QStringLiteral("conditions"), conditions},
      {QStringLiteral("warnings"), QJsonArray::fromStringList(warnings)},
  };
}

QByteArray conditionsForSubmission(const QJsonObject& record) {
  QJsonObject trimmed = record;
  trimmed.remove(QStringLiteral("workers"));
  const QString text = QString::fromUtf8(QJsonDocument(trimmed).toJson(QJsonDocument::Compact));
  // JSON's own escapes keep the text ASCII whatever the processor calls itself.
  QByteArray ascii;
  for (const QChar ch : text) {
    if (ch.unicode() < 0x80) {
      ascii += static_cast<char>(ch.unicode());
    } else {
      ascii += QStringLiteral("\\u%1").arg(ch.unicode(), 4, 16, QChar(u'0')).toLatin1();
    }
  }
  return ascii;
}

RunRecorder::RunRecorder(Services services) : services_(std::move(services)) {
  if (!services_.source) services_.source = &ownSource_;
  if (!services_.codename) services_.codename = &codenameFor;
  sampler_.setInterval(kSampleMs);
  QObject::connect(&sampler_, &QTimer::timeout, &sampler_, [this] {
    sampleClock();
    sampler_.setInterval(kSampleMs);
  });
}

Result<void> RunRecorder::setPath(const QString& path) {
  Result<void> checked = JsonLinesFile::check(path);
  if (checked) path_ = path;
  return checked;
}

void RunRecorder::sampleClock() { conditions_.addClock(services_.source->clockMhz()); }

void RunRecorder::runStarting(const engine::RunStart& start) {
  watching_ = !start.quiet;
  if (!watching_) return;
  const engine::ConditionSource& source = *services_.source;
  if (!facts_) {
    facts_ = source.machine();
    facts_->codename = services_.codename(*facts_);
  }
  conditions_ = engine::RunConditions{};
  conditions_.machine = *facts_;
  conditions_.governor = source.governor();
  loadBefore_ = source.load();
  conditions_.loadBefore = loadBefore_.load1;
  sampleClock();
  meta_.runId = randomRunId();
  meta_.startedAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
  meta_.kernel = QString::fromStdString(start.kernel);
  meta_.kernelForced = start.kernelForced;
  sampler_.setInterval(kFirstSampleMs);
  sampler_.start();
}

void RunRecorder::runEnded(const engine::RunResult& result) {
  if (!watching_ || result.quiet) return;
  watching_ = false;
  sampler_.stop();
  sampleClock();
  conditions_.stealPercent = engine::stealPercent(loadBefore_, services_.source->load());
  const QStringList warnings = conditionWarnings(result, conditions_);
  if (services_.warn) {
    for (const QString& w : warnings) services_.warn(w);
  }
  const QJsonObject record = makeRunRecord(result, conditions_, warnings, meta_);
  last_ = record;
  if (!result.errors && !result.quickMode) {
    // Only a few records ever stand at once; a long series may forget its
    // earliest runs' conditions.
    constexpr size_t kMaxKept = 4096;
    if (scored_.size() >= kMaxKept) scored_.clear();
    scored_[{result.test, result.seconds}] = record;
  }
  if (path_.isEmpty()) return;
  const Result<void> written = JsonLinesFile::append(path_, QJsonDocument(record).toJson(QJsonDocument::Compact));
  if (!written && services_.error) {
    services_.error(QStringLiteral("The run record could not be written to ") + path_ + QStringLiteral(": ") +
                    written.failure().text + u'.');
  }
}

std::optional<QJsonObject> RunRecorder::recordOf(int test, double seconds) const {
  const auto it = scored_.find({test, seconds});
  if (it == scored_.end()) return std::nullopt;
  return it->second;
}

}  // namespace rootix::app
