#include "protocol/field_helpers.h"

#include <fmt/format.h>

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

std::string FormatMoney(TMoney amount, bool with_sign) {
  const bool negative = amount < 0;
  // Unsigned, so that the most negative amount has an absolute value too.
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(amount) : static_cast<uint64_t>(amount);
  const uint64_t cents = (magnitude + 50) / 100;
  std::string result = negative ? "-" : "";
  if (with_sign) result += kCurrencySymbol;
  result += fmt::format("{}.{:02}", cents / 100, cents % 100);
  return result;
}

}  // namespace fidora
