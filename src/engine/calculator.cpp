#include "engine/calculator.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/newton.h"
#include "engine/range_kernel.h"
#include "engine/seconds_text.h"
#include "engine/sign_scan.h"
#include "engine/worker_console.h"
#include "platform/numbers.h"

namespace rootix::engine {
namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();

// The first whole number from `from` on that lies strictly beyond threshold.
// A threshold that is not a number (a range of one number) is never passed.
double firstBeyond(double threshold, double from) {
  if (!(threshold < kNever)) return kNever;
  return std::max(std::floor(threshold) + 1, from);
}

class Walk {
 public:
  Walk(WorkerConsole& console, const WorkerParams& p)
      : con_(console), p_(p), kernel_(p.kernel), id_(QString::number(p.threadId)) {
    if (!p.cache) {
      const std::int64_t count = std::int64_t{p.high} - p.low + 1;
      scratch_.resize(static_cast<size_t>(std::clamp<std::int64_t>(count, 1, Calculator::kChunk)));
    }
  }

  void run();

 private:
  bool stopped() const { return p_.stop && p_.stop->load(std::memory_order_relaxed); }
  bool computeSpan(double first, double last);
  void checkResults(double first, double* out, std::int64_t count);
  bool timeCheck();

  WorkerConsole& con_;
  const WorkerParams& p_;
  KernelFunction kernel_;
  QString id_;
  std::vector<double> scratch_;
  int32_t errors_ = 0;
  double prevTime_ = 0;
  double lastTime_ = 0;
  double lastSignal_ = 0;
};

void Walk::checkResults(double first, double* out, std::int64_t count) {
  if (!anySignBit(out, count)) return;
  for (std::int64_t i = 0; i < count; ++i) {
    if (out[i] != Newton::kNonConvergent) continue;
    con_.PrintLn(QStringLiteral("WARNING: Non-convergent in f(x)=x^2 - ") + num::formatGeneral(first + double(i)) +
                 QStringLiteral(" in thread ") + id_);
    ++errors_;
    // A non-convergent result is not kept: its slot stays as it was created.
    if (p_.cache) out[i] = 0;
  }
}

// Numbers first..last (whole numbers, both included) in chunks.
bool Walk::computeSpan(double first, double last) {
  double x = first;
  while (x <= last) {
    if (stopped()) return false;
    const std::int64_t count = std::min<std::int64_t>(Calculator::kChunk, static_cast<std::int64_t>(last - x) + 1);
    double* out = p_.cache ? p_.results + static_cast<std::int64_t>(x) : scratch_.data();
    kernel_(x, count, out);
    checkResults(x, out, count);
    x += double(count);
  }
  return true;
}

bool Walk::timeCheck() {
  lastTime_ = con_.GetTime();
  if (lastTime_ < prevTime_) {
    con_.fail(QStringLiteral("Cheat detected."));
    return false;
  }
  prevTime_ = lastTime_;
  if (lastTime_ - lastSignal_ >= Calculator::kHeartbeatSeconds) {
    con_.signal();
    lastSignal_ = lastTime_;
  }
  return true;
}

void Walk::run() {
  // Its own clock, not the run's: an extra reading of the run clock would
  // move every later time the console shows.
  const auto started = std::chrono::steady_clock::now();
  if (!p_.quiet) {
    con_.PrintLn(QStringLiteral("Thread ") + id_ + QStringLiteral(" calculating from ") + QString::number(p_.low) +
                 QStringLiteral(" to ") + QString::number(p_.high) + QStringLiteral(" in THREAD#") + osThreadIdHex() +
                 u'.');
  }
  // The fractions are those of a loop over single numbers: s is the share of
  // the range worth kReportSpan numbers, c the next clock reading, p the next
  // progress line.
  const double low = p_.low;
  const double high = p_.high;
  const double span = static_cast<double>(std::int64_t{p_.high} - p_.low);
  const double s = Calculator::kReportSpan / span;
  double c = s / 8;
  double p = s;

  // The first number never passes a threshold; it is done alone because its
  // slot may belong to the previous worker.
  double lowValue = 0;
  kernel_(low, 1, &lowValue);
  checkResults(low, &lowValue, 1);
  if (p_.cache && p_.ownsLow) p_.results[p_.low] = lowValue;

  double x = low + 1;
  double timeAt = firstBeyond(low + span * c, x);
  double reportAt = p_.quiet ? kNever : firstBeyond(low + span * p, x);
  while (x <= high) {
    const double last = std::min({timeAt, reportAt, high});
    if (!computeSpan(x, last)) return;
    if (last == timeAt) {
      if (!timeCheck()) return;
      c = c + s / 8;
    }
    if (last == reportAt) {
      con_.PrintLn(QStringLiteral("Thread ") + id_ + QStringLiteral(" is ") +
                   num::formatGeneral(num::roundHalfEven(p * 100)) + QStringLiteral("% complete @ ") +
                   secondsText(lastTime_) + QStringLiteral(" seconds"));
      p = p + s;
    }
    x = last + 1;
    if (timeAt < x) timeAt = firstBeyond(low + span * c, x);
    if (reportAt < x) reportAt = firstBeyond(low + span * p, x);
  }
  if (stopped()) return;

  if (!p_.quiet) {
    con_.PrintLn(QStringLiteral("Thread ") + id_ + QStringLiteral(" complete with ") + QString::number(errors_) +
                 QStringLiteral(" errors!"));
    con_.PrintLn(QStringLiteral("Time taken: ") + secondsText(con_.GetTime()) + QStringLiteral(" seconds"));
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  con_.finished(WorkerSummary{p_.threadId, p_.low, p_.high, took.count(), sched_getcpu()});
  if (p_.cache) con_.output(WorkerResults{p_.results, p_.low, p_.high, lowValue}, p_.threadId);
  con_.complete(p_.quiet, errors_ != 0);
}

}  // namespace

void Calculator::Calculate(WorkerConsole& console, const WorkerParams& params) { Walk(console, params).run(); }

QString osThreadIdHex() { return QString::number(static_cast<qulonglong>(gettid()), 16).toUpper(); }

}  // namespace rootix::engine
