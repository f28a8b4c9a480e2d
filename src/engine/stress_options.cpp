#include "engine/stress_options.h"

#include <vector>

#include "engine/stress_reference.h"

namespace rootix::engine {
namespace {

// Digits only, at most 12 of them (no signs, exponents or blanks).
std::optional<std::int64_t> readDigits(std::string_view text) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  while (true) {
    const size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::optional<StressRequest> fromParts(const std::vector<std::string_view>& parts, std::string& problem,
                                       const char* usage) {
  if (parts.size() < 2 || parts.size() > 3) {
    problem = usage;
    return std::nullopt;
  }
  StressRequest request;
  const auto test = parseStressTest(parts[0], problem);
  if (!test) return std::nullopt;
  const auto seconds = parseStressDuration(parts[1], problem);
  if (!seconds) return std::nullopt;
  request.test = *test;
  request.seconds = *seconds;
  if (parts.size() == 3) {
    if (parts[2] != "cycle") {
      problem = "Unknown stress test option " + quoted(parts[2]) + " (only \"cycle\" is known)";
      return std::nullopt;
    }
    request.cycle = true;
  }
  return request;
}

}  // namespace

std::optional<int> parseStressTest(std::string_view text, std::string& problem) {
  const auto test = readDigits(text);
  if (!test || *test < kStressFirstTest || *test > kStressLastTest) {
    problem = "Invalid stress test " + quoted(text) + ": only tests 1 to 12 have known answers to check against";
    return std::nullopt;
  }
  return int(*test);
}

std::optional<double> parseStressDuration(std::string_view text, std::string& problem) {
  double unit = 1;
  std::string_view digits = text;
  if (!digits.empty()) {
    switch (digits.back()) {
      case 's':
        digits.remove_suffix(1);
        break;
      case 'm':
        unit = 60;
        digits.remove_suffix(1);
        break;
      case 'h':
        unit = 3600;
        digits.remove_suffix(1);
        break;
      default:
        break;
    }
  }
  const auto count = readDigits(digits);
  if (!count || *count == 0 || double(*count) * unit > kStressLongestSeconds) {
    problem = "Invalid duration " + quoted(text) +
              ": give whole seconds, or a whole number with s, m or h (30s, 10m, 2h), more than 0 and at most "
              "a year";
    return std::nullopt;
  }
  return double(*count) * unit;
}

std::optional<StressRequest> parseStressWords(std::string_view text, std::string& problem) {
  std::vector<std::string_view> words;
  for (std::string_view word : split(text, ' ')) {
    if (!word.empty()) words.push_back(word);
  }
  return fromParts(words, problem, "Usage: stress <test 1-12> <duration: 30s, 10m, 2h> [cycle]");
}

std::optional<StressRequest> parseStressSwitch(std::string_view text, std::string& problem) {
  return fromParts(split(text, ':'), problem, "Usage: -stress=<test 1-12>:<duration: 30s, 10m, 2h>[:cycle]");
}

std::optional<StressInjection> parseStressInjection(const char* value, std::string& problem) {
  if (value == nullptr || *value == '\0') return std::nullopt;
  const std::vector<std::string_view> parts = split(value, ':');
  std::optional<std::int64_t> pass;
  std::optional<std::int64_t> number;
  if (parts.size() == 2) {
    pass = readDigits(parts[0]);
    number = readDigits(parts[1]);
  }
  if (!pass || !number || *pass == 0 || *number >= std::int64_t(kStressBlocks) * kStressBlockNumbers) {
    problem = "ROOTIX_STRESS_INJECT=" + std::string(value) +
              " is ignored: it takes <pass>:<number>, a pass from 1 and a number 0 to 2147483647";
    return std::nullopt;
  }
  return StressInjection{*pass, *number};
}

}  // namespace rootix::engine
