#include "common/args.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace fidora {

std::optional<long long> ParseWholeNumber(std::string_view text, long long minimum,
                                          long long maximum) {
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < minimum || value > maximum) return std::nullopt;
  return value;
}

std::optional<int> ParseSecondsAsMs(std::string_view text, double maximum) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos) {
    return std::nullopt;
  }
  const std::string copy(text);
  char* end = nullptr;
  const double seconds = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !(seconds > 0) || seconds > maximum) return std::nullopt;
  return std::max(1, static_cast<int>(std::lround(seconds * 1000)));
}

}  // namespace fidora
