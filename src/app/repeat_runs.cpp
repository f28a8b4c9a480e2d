#include "app/repeat_runs.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace rootix::app {
namespace {
QString seconds3(double s) { return QString::number(s, 'f', 3); }
}  // namespace

std::optional<int> parseRepeatCount(const QString& text) {
  static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
  if (!digits.match(text).hasMatch()) return std::nullopt;
  const int n = text.toInt();
  if (n < 1 || n > kMaxRepeat) return std::nullopt;
  return n;
}

QString invalidRepeatMessage(const QString& given) {
  return QStringLiteral("Invalid repeat count '%1': give a whole number of runs from 1 to %2.")
      .arg(given)
      .arg(kMaxRepeat);
}

QString testLabel(int test) {
  const double numbers = std::ldexp(1.0, test + 9);
  if (numbers < 1024) return QString::number(numbers) + u'K';
  return QString::number(numbers / 1024) + u'M';
}

QString spreadLine(int test, std::vector<double> seconds) {
  std::sort(seconds.begin(), seconds.end());
  const size_t n = seconds.size();
  const double best = seconds.front();
  const double worst = seconds.back();
  const double median = n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
  const double spread = best > 0 ? (worst - best) / best * 100 : 0;
  return QStringLiteral("%1: %2 %3, best %4 s, median %5 s, worst %6 s, spread %7 %")
      .arg(testLabel(test))
      .arg(n)
      .arg(n == 1 ? QStringLiteral("run") : QStringLiteral("runs"))
      .arg(seconds3(best), seconds3(median), seconds3(worst), QString::number(spread, 'f', 1));
}

void RepeatRuns::start(int16_t test, int count) {
  test_ = test;
  count_ = count;
  remaining_ = count;
  failedRun_ = 0;
  seconds_.clear();
}

RepeatRuns::Next RepeatRuns::runEnded(const engine::RunResult& result) {
  if (!active() || result.quiet || result.test != test_) return Next::NotRepeating;
  --remaining_;
  if (result.errors) {
    // A run with errors has no time worth comparing; the series ends.
    failedRun_ = count_ - remaining_;
    remaining_ = 0;
    return Next::Done;
  }
  seconds_.push_back(result.seconds);
  return remaining_ > 0 ? Next::Again : Next::Done;
}

double RepeatRuns::best() const { return seconds_.empty() ? 0 : *std::min_element(seconds_.begin(), seconds_.end()); }

QStringList RepeatRuns::summary() const {
  QStringList lines;
  if (failedRun_) {
    lines << QStringLiteral("Repeat stopped: run %1 of %2 reported errors.").arg(failedRun_).arg(count_);
  }
  if (!seconds_.empty()) lines << spreadLine(test_, seconds_);
  return lines;
}

}  // namespace rootix::app
