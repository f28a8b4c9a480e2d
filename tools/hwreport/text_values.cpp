#include "text_values.h"

#include <charconv>

namespace rootix::hwreport {

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::optional<int64_t> parseInteger(std::string_view text, int base) {
  text = trimmed(text);
  if (base == 16 && (text.starts_with("0x") || text.starts_with("0X"))) text.remove_prefix(2);
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> parseReal(std::string_view text) {
  text = trimmed(text);
  if (text.empty()) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  if (!(value == value) || value > 1e300 || value < -1e300) return std::nullopt;  // NaN, inf
  return value;
}

std::optional<std::vector<int>> parseCpuList(std::string_view text, std::size_t maxCount) {
  text = trimmed(text);
  std::vector<int> numbers;
  if (text.empty()) return numbers;
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view part = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    const auto dash = part.find('-');
    const auto low = parseInteger(part.substr(0, dash));
    const auto high = dash == std::string_view::npos ? low : parseInteger(part.substr(dash + 1));
    if (!low || !high || *low < 0 || *high < *low || *high >= (int64_t{1} << 24)) return std::nullopt;
    if (static_cast<std::size_t>(*high - *low) + numbers.size() >= maxCount) return std::nullopt;
    for (int64_t n = *low; n <= *high; ++n) numbers.push_back(static_cast<int>(n));
  }
  return numbers;
}

std::optional<int64_t> parseSizeKb(std::string_view text) {
  text = trimmed(text);
  if (text.empty()) return std::nullopt;
  int64_t factor = 0;
  switch (text.back()) {
    case 'K':
      factor = 1;
      break;
    case 'M':
      factor = 1024;
      break;
    case 'G':
      factor = 1024 * 1024;
      break;
    default:
      return std::nullopt;
  }
  const auto number = parseInteger(text.substr(0, text.size() - 1));
  if (!number || *number <= 0 || *number > (int64_t{1} << 40) / factor) return std::nullopt;
  return *number * factor;
}

}  // namespace rootix::hwreport
