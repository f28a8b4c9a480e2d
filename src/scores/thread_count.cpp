#include "scores/thread_count.h"

#include "scores/records.h"

namespace rootix::scores {

void ThreadCount::set(int16_t count, Clear clear) {
  const bool changed = count != value_;
  value_ = count;
  if (changed || clear == Clear::Always) records_.reset();
}

}  // namespace rootix::scores
