#include "engine/expr/exp_value.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace fidora {

std::string ExpTypeName(TxExpType type) {
  switch (type) {
    case TxExpType::Unknown:
      return "Unknown";
    case TxExpType::Empty:
      return "Empty";
    case TxExpType::Any:
      return "Any";
    case TxExpType::Text:
      return "Text";
    case TxExpType::Number:
      return "Number";
    case TxExpType::Integer:
      return "Integer";
    case TxExpType::Date:
      return "Date";
    case TxExpType::DateTime:
      return "DateTime";
    case TxExpType::Boolean:
      return "Boolean";
    case TxExpType::Memo:
      return "Memo";
    case TxExpType::Pointer:
      return "Pointer";
  }
  return "Invalid Value";
}

bool IsNumericType(TxExpType type) {
  return type == TxExpType::Number || type == TxExpType::Integer || type == TxExpType::Date ||
         type == TxExpType::DateTime;
}

bool TypeSatisfies(TxExpType actual, TxExpType needed) {
  if (needed == TxExpType::Any) return true;
  if (IsNumericType(needed)) return IsNumericType(actual);
  return actual == needed;
}

std::int64_t TruncToInt(double d) {
  if (std::isnan(d)) return 0;
  constexpr double kLimit = 9.0e18;
  if (d >= kLimit) return static_cast<std::int64_t>(kLimit);
  if (d <= -kLimit) return -static_cast<std::int64_t>(kLimit);
  return static_cast<std::int64_t>(d);
}

std::string FormatGeneral(double d) {
  if (d == 0 || std::isnan(d)) return "0";
  if (std::isinf(d)) return d > 0 ? "INF" : "-INF";
  // Round to 15 significant digits first; the decimal exponent decides fixed or scientific.
  std::string sci = fmt::format("{:.14e}", d);  // d.ddddddddddddddE+XX
  const auto epos = sci.find('e');
  const int exponent = std::atoi(sci.c_str() + epos + 1);
  std::string mantissa = sci.substr(0, epos);
  const bool negative = mantissa[0] == '-';
  if (negative) mantissa.erase(0, 1);
  std::string digits = mantissa.substr(0, 1) + mantissa.substr(2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -5) {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E" + std::to_string(exponent);
  } else if (exponent < 0) {
    out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  } else {
    const auto intDigits = static_cast<size_t>(exponent + 1);
    if (digits.size() <= intDigits) {
      out += digits + std::string(intDigits - digits.size(), '0');
    } else {
      out += digits.substr(0, intDigits) + "." + digits.substr(intDigits);
    }
  }
  return out;
}

bool ParseDecimal(const std::string& text, double& out) {
  size_t i = 0, n = text.size();
  auto blank = [&](size_t k) { return static_cast<unsigned char>(text[k]) <= 32; };
  while (i < n && blank(i)) ++i;
  while (n > i && blank(n - 1)) --n;
  if (i == n) return false;
  const size_t start = i;
  if (text[i] == '+' || text[i] == '-') ++i;
  size_t mantissaDigits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++mantissaDigits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++mantissaDigits;
  }
  if (mantissaDigits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != n) return false;
  const double value = std::strtod(text.substr(start, n - start).c_str(), nullptr);
  if (!std::isfinite(value)) return false;  // out of the range of a double
  out = value;
  return true;
}

}  // namespace fidora
