#include "scores/records.h"

#include "platform/runtime_error.h"

namespace rootix::scores {
namespace {

void check(int index) {
  if (index < Records::kFirst || index > Records::kLast) throw RuntimeError(kSubscriptOutOfRange);
}

}  // namespace

double Records::getRecord(int index) const {
  check(index);
  return values_[static_cast<size_t>(index)];
}

void Records::setRecord(int index, double record) {
  check(index);
  values_[static_cast<size_t>(index)] = record;
}

void Records::reset() { values_.fill(0); }

bool Records::any() const {
  for (int i = kFirst; i <= kLast; ++i) {
    if (values_[static_cast<size_t>(i)] != 0) return true;
  }
  return false;
}

}  // namespace rootix::scores
