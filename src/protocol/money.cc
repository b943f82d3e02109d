#include "protocol/money.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <limits>

#include "engine/dbf/text_trim.h"

namespace fidora {

namespace {

__extension__ typedef __int128 Wide;

constexpr int kDecimals = 4;

int64_t Narrow(Wide value) {
  if (value > std::numeric_limits<int64_t>::max() || value < std::numeric_limits<int64_t>::min())
    throw EIntOverflow();
  return static_cast<int64_t>(value);
}

// numerator ÷ divisor rounded to the nearest whole number, halves to the even one.
Wide DivideHalfEven(Wide numerator, Wide divisor) {
  Wide quotient = numerator / divisor;  // truncated toward zero
  const Wide remainder = numerator % divisor;
  if (remainder == 0) return quotient;
  const Wide twice = (remainder < 0 ? -remainder : remainder) * 2;
  const Wide size = divisor < 0 ? -divisor : divisor;
  const bool negative = (numerator < 0) != (divisor < 0);
  if (twice > size || (twice == size && quotient % 2 != 0)) quotient += negative ? -1 : 1;
  return quotient;
}

// A decimal number as its digits and a power of ten: value = digits × 10^exponent.
struct TDecimal {
  bool negative = false;
  std::string digits;
  int64_t exponent = 0;
};

bool ReadDecimal(std::string_view text, TDecimal& out) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) out.negative = text[i++] == '-';
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, any = true)
    out.digits += text[i];
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, any = true) {
      out.digits += text[i];
      --out.exponent;
    }
  }
  if (!any) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    int exponent = 0;
    const char* end = text.data() + text.size();
    if (i < text.size() && text[i] == '+') ++i;
    const auto [stop, error] = std::from_chars(text.data() + i, end, exponent);
    if (error != std::errc() || stop == text.data() + i) return false;
    out.exponent += exponent;
    i = static_cast<size_t>(stop - text.data());
  }
  return i == text.size();
}

// The decimal in ten-thousandths, rounded half to even.
int64_t ToUnits(const TDecimal& d) {
  const int64_t shift = d.exponent + kDecimals;  // value in units = digits × 10^shift
  std::string_view digits = d.digits;
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  if (digits == "0") return 0;
  constexpr Wide kLimit = Wide{1} << 64;
  auto accumulate = [&](std::string_view part) {
    Wide value = 0;
    for (char c : part) {
      value = value * 10 + (c - '0');
      if (value > kLimit) throw EIntOverflow();
    }
    return value;
  };
  Wide units = 0;
  if (shift >= 0) {
    if (shift > 20) throw EIntOverflow();
    units = accumulate(digits);
    for (int64_t k = 0; k < shift; ++k) {
      units *= 10;
      if (units > kLimit) throw EIntOverflow();
    }
  } else {
    const size_t dropped = static_cast<size_t>(-shift);
    const std::string_view kept =
        dropped >= digits.size() ? std::string_view() : digits.substr(0, digits.size() - dropped);
    const std::string_view rest = digits.substr(kept.size());
    units = accumulate(kept);
    // Rounding looks at what was cut off: above a half, exactly a half, or below.
    const bool short_of_half = rest.size() < dropped;  // leading zeros were cut off too
    const char first = short_of_half ? '0' : rest.front();
    const bool more = rest.find_first_not_of('0', short_of_half ? 0 : 1) != std::string_view::npos;
    if (first > '5' || (first == '5' && more) || (first == '5' && units % 2 != 0)) ++units;
  }
  return Narrow(d.negative ? -units : units);
}

}  // namespace

TMoney TMoney::FromWhole(int64_t whole) {
  return TMoney(Narrow(Wide{whole} * kUnitsPerWhole));
}

TMoney TMoney::Parse(std::string_view text) {
  TDecimal decimal;
  if (!ReadDecimal(TrimBoth(text), decimal))
    throw EConvertError(fmt::format("'{}' is not a valid floating point value", text));
  return TMoney(ToUnits(decimal));
}

TMoney TMoney::FromDouble(double value) {
  if (!std::isfinite(value)) throw EIntOverflow();
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (result.ec != std::errc()) throw EIntOverflow();
  TDecimal decimal;
  ReadDecimal(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)), decimal);
  return TMoney(ToUnits(decimal));
}

TMoney TMoney::AddQuotient(TMoney base, TMoney dividend, int64_t divisor) {
  if (divisor == 0) throw std::domain_error("Division by zero");
  const Wide numerator = Wide{base.units_} * divisor + dividend.units_;
  return TMoney(Narrow(DivideHalfEven(numerator, divisor)));
}

double TMoney::ToDouble() const {
  // One correctly rounded division: the double nearest to the decimal amount.
  return static_cast<double>(units_) / kUnitsPerWhole;
}

std::string TMoney::TwoDecimals() const {
  const bool negative = units_ < 0;
  // Unsigned, so that the most negative amount has a magnitude too.
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(units_) : static_cast<uint64_t>(units_);
  const uint64_t cents = (magnitude + 50) / 100;
  return fmt::format("{}{}.{:02}", negative ? "-" : "", cents / 100, cents % 100);
}

TMoney TMoney::operator-() const {
  return TMoney(Narrow(-Wide{units_}));
}

TMoney operator+(TMoney a, TMoney b) {
  return TMoney(Narrow(Wide{a.units_} + b.units_));
}

TMoney operator-(TMoney a, TMoney b) {
  return TMoney(Narrow(Wide{a.units_} - b.units_));
}

TMoney operator*(TMoney a, int64_t factor) {
  return TMoney(Narrow(Wide{a.units_} * factor));
}

}  // namespace fidora
