// Text helpers for command handlers. All text is single-byte (Windows-1252); fields are
// separated by kFieldSeparator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/awk_parser.h"
#include "protocol/money.h"

namespace fidora {

// Without leading and trailing blanks and control characters (bytes up to 32).
std::string Trim(std::string_view text);
// Upper case of Windows-1252: ASCII and the accented Latin letters, as the engine has it.
std::string UpperCase(std::string_view text);
char UpperCaseChar(char c);

// Cuts the first field off `line` and returns it; `line` keeps what followed the separator.
// Without a separator the whole line is returned and `line` becomes empty.
std::string NextField(std::string& line);
// NextField, trimmed and upper-cased.
std::string NextFieldU(std::string& line);

// The text before / after the first occurrence of the delimiter; empty when it is absent.
std::string TextBefore(std::string_view text, std::string_view delimiter);
std::string TextAfter(std::string_view text, std::string_view delimiter);

// The text followed by copies of `fill` up to `width`; a longer text is returned as it is.
std::string PadRight(std::string_view text, int width, char fill = ' ');

bool IsBlank(std::string_view text);

// Decimal integer text (blanks around it and a sign allowed) in the 32-bit range; anything
// else raises EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(std::string_view text);

inline constexpr char kCurrencySymbol[] = "$";
// "-" when negative, the currency symbol when asked, then the absolute amount with two
// decimals (rounded half away from zero).
std::string FormatMoney(TMoney amount, bool with_sign);

}  // namespace fidora
