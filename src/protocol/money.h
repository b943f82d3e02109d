// TMoney: an amount of money as a whole number of ten-thousandths (four decimals), the fixed
// point in which the services keep balances, points and rewards. Where a result has a fraction
// of a ten-thousandth it is rounded once to the nearest one, halves to the even neighbour.
// Results outside the 64-bit range raise EIntOverflow instead of wrapping.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/convert_error.h"

namespace fidora {

class TMoney {
 public:
  static constexpr int64_t kUnitsPerWhole = 10000;

  constexpr TMoney() = default;
  static constexpr TMoney FromUnits(int64_t ten_thousandths) { return TMoney(ten_thousandths); }
  static TMoney FromWhole(int64_t whole);
  // Decimal text with "." as the separator: blanks around it, an optional sign, digits with an
  // optional fraction and an optional exponent ("12.50", "-3", " 1e2 "). Digits past the fourth
  // decimal are rounded. Anything else raises EConvertError.
  static TMoney Parse(std::string_view text);
  // A column value: its shortest decimal form rounded to four decimals (12.345 stays 12.345).
  static TMoney FromDouble(double value);
  // base + dividend ÷ divisor, computed exactly and rounded once. divisor must not be 0.
  static TMoney AddQuotient(TMoney base, TMoney dividend, int64_t divisor);

  constexpr int64_t Units() const { return units_; }
  // The nearest double, as columns take values.
  double ToDouble() const;
  // The whole part, truncated toward zero (57.5 gives 57, -2.5 gives -2).
  int64_t WholePart() const { return units_ / kUnitsPerWhole; }
  // Two decimals, halves away from zero, "-" before a negative amount: "12.35", "-3.00".
  std::string TwoDecimals() const;

  TMoney operator-() const;
  friend TMoney operator+(TMoney a, TMoney b);
  friend TMoney operator-(TMoney a, TMoney b);
  friend TMoney operator*(TMoney a, int64_t factor);
  friend constexpr auto operator<=>(TMoney a, TMoney b) = default;
  friend constexpr bool operator==(TMoney a, TMoney b) = default;

 private:
  constexpr explicit TMoney(int64_t units) : units_(units) {}
  int64_t units_ = 0;
};

}  // namespace fidora
