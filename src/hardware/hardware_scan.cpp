#include "hardware/hardware_scan.h"

#include <QStringList>
#include <cfloat>
#include <cmath>

#include "hardware/library_install.h"
#include "hardware/report_capture.h"
#include "platform/numbers.h"
#include "platform/runtime_error.h"
#include "platform/text.h"

namespace rootix::hardware {
namespace {

// Single precision, as the bus clock, cache size and DMI clock are kept.
float toSingle(double x) {
  if (!(std::fabs(x) <= static_cast<double>(FLT_MAX))) throw RuntimeError(kOverflow);
  return static_cast<float>(x);
}

double finite(double x) {
  if (!std::isfinite(x)) throw RuntimeError(kOverflow);
  return x;
}

double leadingNumber(const QString& text) { return num::readNumber(text); }

// The value as its 15-digit general text reads back. Done on the "." form:
// through the locale's text a "," separator would cut 1.5 to 1.
double throughText(double x) { return num::readNumber(num::formatGeneral(x)); }

class Report {
 public:
  explicit Report(const HashTable& table) : table_(table) {}
  QString V(const char* key) const { return table_.getValue(QString::fromLatin1(key)); }
  double N(const char* key) const { return leadingNumber(V(key)); }

 private:
  const HashTable& table_;
};

float busClock(const Report& r) {
  for (const char* key :
       {"DMI.FSB speed", "Processors Information.HT Link speed", "Processors Information.Rated Bus speed"}) {
    const float fsb = toSingle(r.N(key));
    if (fsb != 0) return fsb;
  }
  return toSingle(r.N("Timers.BCLK timer"));
}

// Cache size in KB: L3 when there is one, else L2, which comes either as a
// plain size or per core ("2 x 512 KBytes").
float cacheSize(const Report& r) {
  const double l3 = throughText(r.N("Processors Information.L3 cache"));
  if (l3 != 0) return toSingle(finite(l3 * 1024));
  const QString l2 = r.V("Processors Information.L2 cache");
  if (l2.size() >= 3 && l2[2] == u'x') {
    const double count = leadingNumber(l2);
    // The size per core counts as KB only when its unit is KB: "2 x 1 MBytes"
    // is 2048 KB, not 2.
    const QString perCore = text::getBetween(l2, QStringLiteral(" x "), QString());
    const qsizetype kb = perCore.indexOf(QStringLiteral(" KB"));
    const qsizetype mb = perCore.indexOf(QStringLiteral(" MB"));
    const double kbSize = kb >= 0 && (mb < 0 || kb < mb) ? leadingNumber(perCore.left(kb)) : 0;
    float cache = toSingle(finite(count * kbSize));
    if (cache == 0) {
      cache = toSingle(
          finite(count * leadingNumber(text::getBetween(l2, QStringLiteral(" x "), QStringLiteral(" MB"))) * 1024));
    }
    return cache;
  }
  return toSingle(leadingNumber(l2));
}

}  // namespace

void summarizeReport(HardwareState& state, const PrintFn& print) {
  const Report r(state.hwInfo);
  using num::numberText;
  using num::numberTextSingle;

  print(QString());
  print(QStringLiteral("Found CPU: "));
  const float fsb = busClock(r);
  const float cache = cacheSize(r);
  const double clock = r.N("Processors Information.Clock Speed 0");
  print(r.V("Processors Information.Specification"));
  print(r.V("Processors Information.Codename") + QStringLiteral(" Core"));
  print(numberText(clock) + QStringLiteral(" MHz Clock"));
  print(numberTextSingle(fsb) + QStringLiteral(" MHz FSB"));
  print(numberTextSingle(cache) + QStringLiteral(" KB Cache"));

  const QString memSize = numberText(finite(r.N("Chipset.Memory Size") * 1024));
  const QString memClock = numberText(r.N("Chipset.Uncore Frequency"));
  const QStringList timings{
      numberText(r.N("Chipset.CAS# latency (CL)")), numberText(r.N("Chipset.RAS# to CAS# delay (tRCD)")),
      numberText(r.N("Chipset.RAS# Precharge (tRP)")), numberText(r.N("Chipset.Cycle Time (tRAS)"))};

  // A clock outside 1..9999 MHz means the report did not read the
  // processor: keep what an earlier scan found.
  if (clock < 10000 && clock >= 1) {
    // Everything is worked out before anything is taken over, so a failure
    // leaves the earlier summary whole.
    scores::HardwareSummary s = state.summary;
    s.score_extra_memType = r.V("Chipset.Memory Type");
    s.score_extra_memSize = memSize + QStringLiteral(" MB");
    s.score_extra_memClock = memClock + QStringLiteral(" MHz");
    s.score_extra_memTCas = timings[0];
    s.score_extra_memTRCD = timings[1];
    s.score_extra_memTRP = timings[2];
    s.score_extra_memTRAS = timings[3];
    s.score_extra_mbModel = r.V("DMI.product");
    s.score_extra_mbVendor = r.V("DMI.vendor");
    const int32_t threads = num::toInt32(r.N("Processors Information.Number of threads"));
    s.score_extra_cpu_string = r.V("Processors Information.Specification");
    s.score_extra_cpu_core = text::trimSpaces(r.V("Processors Information.Codename"));
    s.score_extra_cpu_rev = text::trimSpaces(r.V("Processors Information.Core Stepping"));

    // The larger of the measured and the DMI clock wins; a DMI clock of 0
    // never does.
    QString clockText = numberText(clock);
    s.score_extra_cpu_count = numberText(r.N("Processors.Number of sockets"));
    const float dmiClock = toSingle(r.N("DMI.clock speed"));
    if (toSingle(throughText(clock)) < dmiClock) clockText = numberTextSingle(dmiClock);
    s.score_extra_cpu_clock = clockText + QStringLiteral(" MHz");
    s.score_extra_cpu_fsb = numberTextSingle(fsb) + QStringLiteral(" MHz");
    s.score_extra_cpu_cache = numberTextSingle(cache) + QStringLiteral(" KB");

    state.summary = std::move(s);
    state.hardwareThreads = threads;
  }

  print(QStringLiteral("Step ") + r.V("Processors Information.Core Stepping"));
  print(QStringLiteral("Found Memory: "));
  print(memSize + QStringLiteral(" MB ") + r.V("Chipset.Memory Type"));
  print(memClock + QStringLiteral(" MHz"));
  print(QStringLiteral("Cl ") + timings.join(u'-'));
  print(QStringLiteral("Found Motherboard: "));
  print(r.V("DMI.vendor"));
  print(r.V("DMI.product"));
  print(QStringLiteral("Thread Count = ") + QString::number(state.hardwareThreads));
  print(QString());
}

void GetCPUz(HardwareState& state, ReportCapture& capture, const PrintFn& print) {
  if (!LibraryExist(QStringLiteral("cpuz201.exe"))) {
    print(QStringLiteral("CPUz isn't installed. Please install for more accurate hardware information."));
    return;
  }
  state.hwInfo = capture.GatherCPUzInfo();
  summarizeReport(state, print);
}

}  // namespace rootix::hardware
