#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace rootix::engine {

// The run's results in cache mode: one double per number 0..N, zero at the
// start. The pages come from the system zeroed on first touch, backed by
// huge pages where the system allows; prefault() takes that cost ahead of a
// run's clock instead of inside the workers' timed loop.
class ResultArray {
 public:
  ResultArray() = default;
  ~ResultArray();
  ResultArray(ResultArray&& other) noexcept;
  ResultArray& operator=(ResultArray&& other) noexcept;
  ResultArray(const ResultArray&) = delete;
  ResultArray& operator=(const ResultArray&) = delete;

  // count doubles. Refuses with RuntimeError(kOutOfMemory) when
  // availableBytes() (-1 = unknown) leaves too little beside them, and when
  // the system will not map them, so a run never grows into the out-of-memory
  // killer.
  static ResultArray allocate(std::int64_t count, const std::function<std::int64_t()>& availableBytes);

  // Memory the array needs, and what must be available to allow it.
  static std::int64_t bytesFor(std::int64_t count);
  static std::int64_t requiredAvailable(std::int64_t count);

  // Touches every page (still zero), calling `betweenSlices` after each
  // slice of 256 MiB so a waiting UI stays responsive.
  void prefault(const std::function<void()>& betweenSlices = {});

  double* data() { return data_; }
  const double* data() const { return data_; }
  std::int64_t size() const { return count_; }
  explicit operator bool() const { return data_ != nullptr; }
  void release();

 private:
  double* data_ = nullptr;
  std::int64_t count_ = 0;
  std::size_t bytes_ = 0;
};

}  // namespace rootix::engine
