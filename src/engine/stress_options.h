#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rootix::engine {

// What "stress <test> <duration> [cycle]" and "-stress=<test>:<duration>[:cycle]" ask for.
struct StressRequest {
  int test = 0;
  double seconds = 0;  // the whole test's duration, or each processor's in cycle mode
  bool cycle = false;
};

// The longest duration taken: a year.
inline constexpr double kStressLongestSeconds = 365.0 * 24 * 3600;

// A test number 1 .. 12 ("11"); nullopt and `problem` set otherwise.
std::optional<int> parseStressTest(std::string_view text, std::string& problem);
// Whole seconds, or with a unit: "45", "30s", "10m", "2h"; more than 0 and at most a year.
std::optional<double> parseStressDuration(std::string_view text, std::string& problem);
// The console's words (test, duration, optional "cycle") or the switch's value
// ("11:10m" or "11:10m:cycle").
std::optional<StressRequest> parseStressWords(std::string_view text, std::string& problem);
std::optional<StressRequest> parseStressSwitch(std::string_view text, std::string& problem);

// ROOTIX_STRESS_INJECT=<pass>:<number>: the lowest bit of that number's result in that pass
// is flipped, so that a found fault can be seen.
struct StressInjection {
  std::int64_t pass = 0;
  std::int64_t number = 0;
};
// nullopt for an unset or empty value; for a malformed one too, with `problem` set.
std::optional<StressInjection> parseStressInjection(const char* value, std::string& problem);

}  // namespace rootix::engine
