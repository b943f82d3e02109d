#include "protocol/field_helpers.h"

#include <charconv>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/text_trim.h"

namespace fidora {

std::string Trim(std::string_view text) {
  return std::string(TrimBoth(text));
}

char UpperCaseChar(char c) {
  return AnsiUpper(c);
}

std::string UpperCase(std::string_view text) {
  return AnsiUpperCase(text);
}

std::string NextField(std::string& line) {
  const size_t separator = line.find(kFieldSeparator);
  std::string field;
  if (separator == std::string::npos) {
    field.swap(line);
  } else {
    field = line.substr(0, separator);
    line.erase(0, separator + 1);
  }
  return field;
}

std::string NextFieldU(std::string& line) {
  return UpperCase(Trim(NextField(line)));
}

std::string TextBefore(std::string_view text, std::string_view delimiter) {
  const size_t at = text.find(delimiter);
  if (at == std::string_view::npos || delimiter.empty()) return {};
  return std::string(text.substr(0, at));
}

std::string TextAfter(std::string_view text, std::string_view delimiter) {
  const size_t at = text.find(delimiter);
  if (at == std::string_view::npos || delimiter.empty()) return {};
  return std::string(text.substr(at + delimiter.size()));
}

std::string PadRight(std::string_view text, int width, char fill) {
  std::string result(text);
  if (width > 0 && result.size() < static_cast<size_t>(width))
    result.append(static_cast<size_t>(width) - result.size(), fill);
  return result;
}

bool IsBlank(std::string_view text) {
  for (char c : text)
    if (!IsBlankOrControl(c)) return false;
  return true;
}

int32_t StrToInt(std::string_view text) {
  const std::string_view digits = TrimBoth(text);
  const char* begin = digits.data();
  const char* end = begin + digits.size();
  if (end - begin > 1 && *begin == '+' && begin[1] != '-') ++begin;
  int32_t value = 0;
  const auto [stop, error] = std::from_chars(begin, end, value);
  if (begin == end || error != std::errc() || stop != end)
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return value;
}

std::string FormatMoney(TMoney amount, bool with_sign) {
  std::string digits = amount.TwoDecimals();
  const bool negative = amount < TMoney();
  if (negative) digits.erase(0, 1);
  return (negative ? "-" : "") + std::string(with_sign ? kCurrencySymbol : "") + digits;
}

}  // namespace fidora
