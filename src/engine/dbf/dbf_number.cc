#include "engine/dbf/dbf_number.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace fidora {

std::optional<double> ParseDbfNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return 0.0;
  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // from_chars would also take "inf", "nan" and hex forms: allow only decimal text.
  if (text.empty() ||
      !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.'))
    return std::nullopt;
  for (char c : text) {
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' || c == 'E' ||
          c == '+' || c == '-'))
      return std::nullopt;
  }
  double value = 0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return negative ? -value : value;
}

std::optional<std::string> FormatDbfNumber(double value, int decimals) {
  if (!std::isfinite(value)) return std::nullopt;
  if (decimals < 0) decimals = 0;
  const bool negative = std::signbit(value);
  char buf[400];
  const auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
  if (ec != std::errc()) return std::nullopt;
  const std::string_view shortest(buf, static_cast<size_t>(end - buf));
  const size_t dot = shortest.find('.');
  std::string whole(shortest.substr(0, dot));
  std::string fraction(dot == std::string_view::npos ? "" : shortest.substr(dot + 1));
  fraction.resize(static_cast<size_t>(decimals) + 1, '0');
  const bool round_up = fraction.back() >= '5';
  fraction.pop_back();
  std::string digits = whole + fraction;
  if (round_up) {
    size_t i = digits.size();
    while (i > 0) {
      --i;
      if (digits[i] == '9') {
        digits[i] = '0';
        if (i == 0) digits.insert(digits.begin(), '1');
      } else {
        ++digits[i];
        break;
      }
    }
  }
  const size_t int_len = digits.size() - static_cast<size_t>(decimals);
  std::string out = digits.substr(0, int_len);
  if (decimals > 0) out += "." + digits.substr(int_len);
  if (negative && out.find_first_not_of("0.") != std::string::npos) out.insert(0, "-");
  return out;
}

}  // namespace fidora
