#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rootix::engine {

// Instruction sets the range kernel has a variant for, narrowest first.
enum class Isa { Scalar, SSE2, AVX2, AVX512 };

// How the vector kernel obtains each step's quotient; every method gives the division's
// correctly rounded result, bit for bit. Fma uses a reciprocal estimate refined with fused
// multiply-adds and one fused correction. The mixed methods send some chains through the
// divider and the others through the multiply-adds, so both units work at once: FmaDivide
// divides on a third of them, DivideFma on three quarters.
enum class Quotient { Divide, Fma, FmaDivide, DivideFma };

// One exact range kernel: a width and a quotient method.
struct Kernel {
  Isa isa = Isa::Scalar;
  Quotient quotient = Quotient::Divide;
  friend bool operator==(const Kernel&, const Kernel&) = default;
};

// The multiply-add quotient is proven bit-identical to the division on the whole numbers
// 0 .. kFmaDomainEnd - 1 (tools/kernel_proof); ranges reaching outside divide.
inline constexpr double kFmaDomainEnd = 2147483648.0;

std::string_view isaName(Isa isa);
std::string_view quotientName(Quotient quotient);
// "AVX512/fma", "AVX2/fma+div", "SSE2/divide", ...; the scalar loop is "Scalar".
std::string kernelName(Kernel kernel);
// The kernel of that name (case ignored), whether or not this processor runs it.
std::optional<Kernel> kernelFromName(std::string_view name);

// Every variant the running processor can execute, narrowest first (Scalar always).
std::vector<Isa> availableIsas();
bool isaAvailable(Isa isa);
// Every kernel the running processor can execute: Scalar first, then by width, each width's
// divide kernel before its multiply-add ones.
std::vector<Kernel> availableKernels();
bool kernelAvailable(Kernel kernel);

// out[i] = Newton().Sqrt(first + i) for i in [0, count), bit for bit, including 0 and the
// non-convergence sentinel (which is stored like any other result). Numbers that leave the
// common 12-step path (0..3, negatives, NaN, infinities, anything unusual) are recomputed one
// by one with Newton. Writes nothing for count <= 0; count must stay below 2^53.
// A kernel the processor lacks falls back to Scalar, and a multiply-add kernel divides for a
// range outside its proven domain.
void computeRange(Kernel kernel, double first, std::int64_t count, double* out);
// The divide kernel of that width.
void computeRange(Isa isa, double first, std::int64_t count, double* out);

// A range computation as the workers call it: out[i] = Newton().Sqrt(first + i) for i in
// [0, count), a kernel of the choice (kernel_choice.h) or a test's stand-in.
using KernelFunction = std::function<void(double first, std::int64_t count, double* out)>;

namespace detail {

// One vector block: computes kBlockLanes numbers x = first + (index + lane) along the
// common path (x/2, two sign-tested steps, ten plain steps) into out[0..kBlockLanes) and
// sets in redo[0..kRedoWords) the lanes that must be redone (bit k of word w = lane 64w + k):
// x < 4, or a failed sign test. A multiple of every width's chains per pass.
constexpr int kBlockLanes = 192;
constexpr int kRedoWords = kBlockLanes / 64;
using BlockFunction = void (*)(double first, double index, double* out, std::uint64_t* redo);

void blockSse2Divide(double first, double index, double* out, std::uint64_t* redo);
void blockAvx2Divide(double first, double index, double* out, std::uint64_t* redo);
void blockAvx2Fma(double first, double index, double* out, std::uint64_t* redo);
void blockAvx2FmaDivide(double first, double index, double* out, std::uint64_t* redo);
void blockAvx2DivideFma(double first, double index, double* out, std::uint64_t* redo);
void blockAvx512Divide(double first, double index, double* out, std::uint64_t* redo);
void blockAvx512Fma(double first, double index, double* out, std::uint64_t* redo);
void blockAvx512FmaDivide(double first, double index, double* out, std::uint64_t* redo);
void blockAvx512DivideFma(double first, double index, double* out, std::uint64_t* redo);

}  // namespace detail

}  // namespace rootix::engine
