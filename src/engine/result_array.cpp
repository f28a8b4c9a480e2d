#include "engine/result_array.h"

#include <sys/mman.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/runtime_error.h"

namespace rootix::engine {
namespace {
// Left for the rest of the system beside the array: a fixed reserve plus a
// sixteenth of the array.
constexpr std::int64_t kReserveBytes = std::int64_t{256} << 20;
}  // namespace

ResultArray::~ResultArray() { release(); }

ResultArray::ResultArray(ResultArray&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      count_(std::exchange(other.count_, 0)),
      bytes_(std::exchange(other.bytes_, 0)) {}

ResultArray& ResultArray::operator=(ResultArray&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    count_ = std::exchange(other.count_, 0);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

std::int64_t ResultArray::bytesFor(std::int64_t count) { return count * static_cast<std::int64_t>(sizeof(double)); }

std::int64_t ResultArray::requiredAvailable(std::int64_t count) {
  const std::int64_t bytes = bytesFor(count);
  return bytes + bytes / 16 + kReserveBytes;
}

ResultArray ResultArray::allocate(std::int64_t count, const std::function<std::int64_t()>& availableBytes) {
  constexpr std::int64_t kMaxCount = std::numeric_limits<std::int64_t>::max() / 32;
  if (count <= 0 || count > kMaxCount) throw RuntimeError(kOutOfMemory);
  const std::int64_t available = availableBytes ? availableBytes() : -1;
  if (available >= 0 && available < requiredAvailable(count)) throw RuntimeError(kOutOfMemory);
  const auto bytes = static_cast<std::size_t>(bytesFor(count));
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw RuntimeError(kOutOfMemory);
  // Faulting gigabytes in 4 KiB at a time costs the workers several times their computing
  // time; with transparent huge pages each fault brings 2 MiB. Only a hint: where the system
  // refuses, the array works as before.
  madvise(p, bytes, MADV_HUGEPAGE);
  ResultArray array;
  array.data_ = static_cast<double*>(p);
  array.count_ = count;
  array.bytes_ = bytes;
  return array;
}

void ResultArray::prefault(const std::function<void()>& betweenSlices) {
  // One write per 4 KiB page; a huge page is faulted in by its first one.
  constexpr std::int64_t kPageDoubles = 4096 / sizeof(double);
  constexpr std::int64_t kSliceDoubles = (std::int64_t{256} << 20) / sizeof(double);
  volatile double* values = data_;
  for (std::int64_t slice = 0; slice < count_; slice += kSliceDoubles) {
    const std::int64_t end = std::min(count_, slice + kSliceDoubles);
    for (std::int64_t i = slice; i < end; i += kPageDoubles) values[i] = 0.0;
    if (betweenSlices) betweenSlices();
  }
}

void ResultArray::release() {
  if (data_) munmap(data_, bytes_);
  data_ = nullptr;
  count_ = 0;
  bytes_ = 0;
}

}  // namespace rootix::engine
