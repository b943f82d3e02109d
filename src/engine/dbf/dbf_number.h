// Numbers as N and F fields store them: decimal text with "." as the decimal point,
// independent of the machine's locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fidora {

// Reads decimal text: leading and trailing blanks allowed, optional sign, digits with an
// optional "." and fraction, optional exponent. Empty (or all-blank) text reads as 0.
// Nothing when the text is no number.
std::optional<double> ParseDbfNumber(std::string_view text);

// Fixed-point text with exactly `decimals` decimals (no point when 0), rounded half away
// from zero on the value's shortest decimal form (2.675 gives "2.68"); "-" before negative
// values, never "-0". Nothing for infinities and NaN.
std::optional<std::string> FormatDbfNumber(double value, int decimals);

}  // namespace fidora
