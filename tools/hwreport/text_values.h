#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Small strict readers for the numbers and lists found in kernel files.
namespace rootix::hwreport {

std::string_view trimmed(std::string_view text);

std::optional<int64_t> parseInteger(std::string_view text, int base = 10);
std::optional<double> parseReal(std::string_view text);

// "0-3,8,10-11" -> 0 1 2 3 8 10 11. nullopt for malformed lists and for
// lists naming more than maxCount numbers.
std::optional<std::vector<int>> parseCpuList(std::string_view text, std::size_t maxCount = 65536);

// "32K", "1024K", "32M" -> size in KB.
std::optional<int64_t> parseSizeKb(std::string_view text);

}  // namespace rootix::hwreport
