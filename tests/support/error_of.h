#pragma once

#include <functional>

#include "platform/runtime_error.h"

namespace rootix::testing {

// The classic error number f fails with; 0 when it does not fail.
inline int errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.code();
  }
  return 0;
}

}  // namespace rootix::testing
