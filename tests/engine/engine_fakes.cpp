#include "engine_fakes.h"

#include <cmath>

#include "engine/newton.h"

namespace rootix::engine::fakes {

QStringList RecordingConsole::lines() const {
  QStringList out;
  for (const QString& e : events) {
    if (!e.startsWith(u'<')) out << e;
  }
  return out;
}

void zeroKernel(double, std::int64_t count, double* out) {
  for (std::int64_t i = 0; i < count; ++i) out[i] = 0;
}

void newtonKernel(double first, std::int64_t count, double* out) {
  const Newton newton;
  for (std::int64_t i = 0; i < count; ++i) out[i] = newton.Sqrt(first + double(i));
}

void sometimesNonConvergentKernel(double first, std::int64_t count, double* out) {
  newtonKernel(first, count, out);
  for (std::int64_t i = 0; i < count; ++i) {
    if (std::fmod(first + double(i), 1000) == 7) out[i] = Newton::kNonConvergent;
  }
}

}  // namespace rootix::engine::fakes
