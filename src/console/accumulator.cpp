#include "console/accumulator.h"

#include <QDateTime>
#include <QTimeZone>
#include <cmath>

#include "console/console.h"
#include "console/interpreter.h"
#include "platform/numbers.h"
#include "platform/runtime_error.h"

namespace rootix::console {

using platform::CommandCall;

double& Accumulator::cell(int64_t i) {
  if (i < 0 || i >= kCells) throw RuntimeError(kSubscriptOutOfRange);
  return cells_[static_cast<size_t>(i)];
}

namespace {

// Results that leave the range of a double are an overflow, as in any
// arithmetic of the language; the accumulator keeps its value.
double checked(double v) {
  if (!std::isfinite(v)) throw RuntimeError(kOverflow);
  return v;
}

// Seconds between the two local wall-clock times, as whole seconds.
double secondsSince2000() {
  const QDateTime now = QDateTime::currentDateTime();
  const QDateTime wallNow(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()),
                          QTimeZone::utc());
  const QDateTime epoch(QDate(2000, 1, 1), QTime(0, 0), QTimeZone::utc());
  return std::fabs(static_cast<double>(epoch.secsTo(wallNow)));
}

}  // namespace

void registerAccumulatorCommands(Interpreter& interp, Accumulator& acc) {
  auto cellOf = [&acc](CommandCall& call) -> double& { return acc.cell(call.whole32()); };
  auto compare = [&acc](auto op) {
    return [&acc, op](double operand) { acc.value = op(acc.value, operand) ? 1.0 : 0.0; };
  };
  const auto greater = compare([](double l, double r) { return l > r; });
  const auto less = compare([](double l, double r) { return l < r; });
  const auto equal = compare([](double l, double r) { return l == r; });
  const auto notEqual = compare([](double l, double r) { return l != r; });

  interp.commands().add(QStringLiteral("skip"), [&acc](CommandCall&) { acc.skipCount = num::toInt32(acc.value); });
  interp.commands().add(QStringLiteral("rootix="), [&acc](CommandCall& c) { acc.value = c.number(); });
  interp.commands().add(QStringLiteral("rootix=a"), [&acc, cellOf](CommandCall& c) { acc.value = cellOf(c); });
  interp.commands().add(QStringLiteral("rootix:a"), [&acc, cellOf](CommandCall& c) { cellOf(c) = acc.value; });
  interp.commands().add(QStringLiteral("rootix+"),
                        [&acc](CommandCall& c) { acc.value = checked(c.number() + acc.value); });
  interp.commands().add(QStringLiteral("rootix+a"),
                        [&acc, cellOf](CommandCall& c) { acc.value = checked(acc.value + cellOf(c)); });
  interp.commands().add(QStringLiteral("rootix*"),
                        [&acc](CommandCall& c) { acc.value = checked(c.number() * acc.value); });
  interp.commands().add(QStringLiteral("rootix*a"),
                        [&acc, cellOf](CommandCall& c) { acc.value = checked(acc.value * cellOf(c)); });
  interp.commands().add(QStringLiteral("rootix>"), [greater](CommandCall& c) { greater(c.number()); });
  interp.commands().add(QStringLiteral("rootix<"), [less](CommandCall& c) { less(c.number()); });
  interp.commands().add(QStringLiteral("rootix=="), [equal](CommandCall& c) { equal(c.number()); });
  interp.commands().add(QStringLiteral("rootix!="), [notEqual](CommandCall& c) { notEqual(c.number()); });
  interp.commands().add(QStringLiteral("rootix>a"), [greater, cellOf](CommandCall& c) { greater(cellOf(c)); });
  interp.commands().add(QStringLiteral("rootix<a"), [less, cellOf](CommandCall& c) { less(cellOf(c)); });
  interp.commands().add(QStringLiteral("rootix==a"), [equal, cellOf](CommandCall& c) { equal(cellOf(c)); });
  interp.commands().add(QStringLiteral("rootix!=a"), [notEqual, cellOf](CommandCall& c) { notEqual(cellOf(c)); });
  interp.commands().add(QStringLiteral("rootix=date"), [&acc](CommandCall&) { acc.value = secondsSince2000(); });
  interp.commands().add(QStringLiteral("rootix"),
                        [&acc, &interp](CommandCall&) { interp.console().PrintLn(num::formatGeneral(acc.value)); });
}

}  // namespace rootix::console
