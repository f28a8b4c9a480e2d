#include "engine/range_kernel.h"

#include "engine/newton.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>

namespace rootix::engine {

namespace {

void computeScalar(double first, std::int64_t count, double* out) {
  const Newton newton;
  for (std::int64_t i = 0; i < count; ++i) out[i] = newton.Sqrt(first + double(i));
}

// Lanes that left the common path get the full procedure, which handles every case.
void redoLanes(const std::uint64_t* redo, double first, std::int64_t index, double* out, int lanes) {
  const Newton newton;
  for (int word = 0; word * 64 < lanes; ++word) {
    std::uint64_t bits = redo[word];
    while (bits != 0) {
      const int lane = word * 64 + std::countr_zero(bits);
      bits &= bits - 1;
      if (lane < lanes) out[lane] = newton.Sqrt(first + double(index + lane));
    }
  }
}

void computeBlocks(detail::BlockFunction block, double first, std::int64_t count, double* out) {
  constexpr std::int64_t lanes = detail::kBlockLanes;
  std::uint64_t redo[detail::kRedoWords];
  std::int64_t i = 0;
  for (; i + lanes <= count; i += lanes) {
    block(first, double(i), out + i, redo);
    redoLanes(redo, first, i, out + i, int(lanes));
  }
  if (i == count) return;

  // The tail is computed as a whole block into scratch space; lanes past the end are
  // neither kept nor redone.
  alignas(64) double tail[lanes];
  const auto rest = int(count - i);
  block(first, double(i), tail, redo);
  std::copy_n(tail, rest, out + i);
  redoLanes(redo, first, i, out + i, rest);
}

bool fmaAvailable() {
#if defined(__x86_64__)
  static const bool fma = (__builtin_cpu_init(), __builtin_cpu_supports("fma"));
  return fma;
#else
  return false;
#endif
}

detail::BlockFunction blockFor(Kernel kernel) {
#if defined(__x86_64__)
  using Q = Quotient;
  switch (kernel.isa) {
    case Isa::SSE2:
      return kernel.quotient == Q::Divide ? detail::blockSse2Divide : nullptr;
    case Isa::AVX2:
      switch (kernel.quotient) {
        case Q::Divide:
          return detail::blockAvx2Divide;
        case Q::Fma:
          return detail::blockAvx2Fma;
        case Q::FmaDivide:
          return detail::blockAvx2FmaDivide;
        case Q::DivideFma:
          return detail::blockAvx2DivideFma;
      }
      break;
    case Isa::AVX512:
      switch (kernel.quotient) {
        case Q::Divide:
          return detail::blockAvx512Divide;
        case Q::Fma:
          return detail::blockAvx512Fma;
        case Q::FmaDivide:
          return detail::blockAvx512FmaDivide;
        case Q::DivideFma:
          return detail::blockAvx512DivideFma;
      }
      break;
    default:
      break;
  }
#endif
  (void)kernel;
  return nullptr;
}

// Whole numbers inside the multiply-add quotient's proven domain.
bool insideFmaDomain(double first, std::int64_t count) {
  return first >= 0 && first + double(count) <= kFmaDomainEnd && std::floor(first) == first;
}

constexpr Quotient kQuotients[] = {Quotient::Divide, Quotient::Fma, Quotient::FmaDivide, Quotient::DivideFma};

}  // namespace

std::string_view isaName(Isa isa) {
  switch (isa) {
    case Isa::Scalar:
      return "Scalar";
    case Isa::SSE2:
      return "SSE2";
    case Isa::AVX2:
      return "AVX2";
    case Isa::AVX512:
      return "AVX512";
  }
  return "?";
}

std::string_view quotientName(Quotient quotient) {
  switch (quotient) {
    case Quotient::Divide:
      return "divide";
    case Quotient::Fma:
      return "fma";
    case Quotient::FmaDivide:
      return "fma+div";
    case Quotient::DivideFma:
      return "div+fma";
  }
  return "?";
}

std::string kernelName(Kernel kernel) {
  if (kernel.isa == Isa::Scalar) return std::string(isaName(kernel.isa));
  return std::string(isaName(kernel.isa)) + '/' + std::string(quotientName(kernel.quotient));
}

std::optional<Kernel> kernelFromName(std::string_view name) {
  auto same = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char l, char r) {
             return std::tolower(static_cast<unsigned char>(l)) == std::tolower(static_cast<unsigned char>(r));
           });
  };
  for (Isa isa : {Isa::Scalar, Isa::SSE2, Isa::AVX2, Isa::AVX512}) {
    for (Quotient quotient : kQuotients) {
      const Kernel kernel{isa, quotient};
      if (isa == Isa::Scalar && quotient != Quotient::Divide) continue;
      if (same(name, kernelName(kernel))) return kernel;
    }
  }
  return std::nullopt;
}

bool isaAvailable(Isa isa) {
  switch (isa) {
    case Isa::Scalar:
      return true;
#if defined(__x86_64__)
    case Isa::SSE2:
      return true;
    case Isa::AVX2:
    case Isa::AVX512: {
      // May run from another file's static initialiser, before the compiler's own
      // processor probe; the checks include the operating system's register support.
      static const bool avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
      static const bool avx512 = (__builtin_cpu_init(), __builtin_cpu_supports("avx512f"));
      return isa == Isa::AVX2 ? avx2 : avx512;
    }
#endif
    default:
      return false;
  }
}

std::vector<Isa> availableIsas() {
  std::vector<Isa> isas;
  for (Isa isa : {Isa::Scalar, Isa::SSE2, Isa::AVX2, Isa::AVX512}) {
    if (isaAvailable(isa)) isas.push_back(isa);
  }
  return isas;
}

bool kernelAvailable(Kernel kernel) {
  if (!isaAvailable(kernel.isa)) return false;
  if (kernel.quotient == Quotient::Divide) return true;
  // AVX-512F carries its own fused multiply-adds; AVX2 machines have them separately.
  return kernel.isa == Isa::AVX512 || (kernel.isa == Isa::AVX2 && fmaAvailable());
}

std::vector<Kernel> availableKernels() {
  std::vector<Kernel> kernels;
  for (Isa isa : availableIsas()) {
    for (Quotient quotient : kQuotients) {
      if (isa == Isa::Scalar && quotient != Quotient::Divide) continue;
      if (kernelAvailable({isa, quotient})) kernels.push_back({isa, quotient});
    }
  }
  return kernels;
}

void computeRange(Isa isa, double first, std::int64_t count, double* out) {
  computeRange(Kernel{isa, Quotient::Divide}, first, count, out);
}

void computeRange(Kernel kernel, double first, std::int64_t count, double* out) {
  if (count <= 0) return;
  if (kernel.quotient != Quotient::Divide && !insideFmaDomain(first, count)) kernel.quotient = Quotient::Divide;
  const detail::BlockFunction block = kernelAvailable(kernel) ? blockFor(kernel) : nullptr;
  if (block == nullptr)
    computeScalar(first, count, out);
  else
    computeBlocks(block, first, count, out);
}

}  // namespace rootix::engine
