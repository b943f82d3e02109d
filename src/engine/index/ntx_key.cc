#include "engine/index/ntx_key.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdlib>

#include "engine/dbf/xb_error.h"

namespace fidora {

NtxKeyType KeyTypeOf(const IndexKeyValue& value) {
  switch (value.kind) {
    case IndexKeyValue::Kind::kNumber:
      return NtxKeyType::kNumber;
    case IndexKeyValue::Kind::kDate:
      return NtxKeyType::kDate;
    default:
      return NtxKeyType::kText;
  }
}

// Julian day number <-> civil date (proleptic Gregorian), the engine's day numbers.
std::string DayToDtos(int32_t day) {
  if (day <= 0) return "00000000";
  int64_t a = static_cast<int64_t>(day) + 32044;
  const int64_t b = (4 * a + 3) / 146097;
  const int64_t c = a - 146097 * b / 4;
  const int64_t d = (4 * c + 3) / 1461;
  const int64_t e = c - 1461 * d / 4;
  const int64_t m = (5 * e + 2) / 153;
  const int64_t dd = e - (153 * m + 2) / 5 + 1;
  const int64_t mm = m + 3 - 12 * (m / 10);
  const int64_t yy = 100 * b + d - 4800 + m / 10;
  if (yy < 0 || yy > 9999) return "00000000";
  return fmt::format("{:04d}{:02d}{:02d}", yy, mm, dd);
}

int32_t DtosToDay(int year, int month, int day) {
  const int a = (14 - month) / 12;
  const int y = year + 4800 - a;
  const int m = month + 12 * a - 3;
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

namespace {

std::string CutTo(std::string s, uint16_t key_size) {
  if (s.size() > key_size) s.resize(key_size);
  return s;
}

std::string FormatNumber(double value, uint16_t key_size, uint16_t decimals) {
  std::string text = fmt::format("{:>{}.{}f}", std::fabs(value), key_size, decimals);
  for (char& c : text)
    if (c == ' ') c = '0';
  if (value < 0)
    for (char& c : text)
      if (c >= '0' && c <= '9') c = static_cast<char>(92 - c);
  return text;
}

bool ValidDate(int y, int m, int d) {
  if (y < 1 || m < 1 || m > 12 || d < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Text to "yyyymmdd": empty or "00000000" is no date, eight digits stand for themselves
// (an impossible date reads as 30 December 1899), otherwise "dd/mm/yyyy".
std::string SeekDate(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.empty() || text == "00000000") return "00000000";
  const bool digits8 =
      text.size() == 8 && text.find_first_not_of("0123456789") == std::string_view::npos;
  if (digits8) {
    const int y = std::atoi(std::string(text.substr(0, 4)).c_str());
    const int m = std::atoi(std::string(text.substr(4, 2)).c_str());
    const int d = std::atoi(std::string(text.substr(6, 2)).c_str());
    return ValidDate(y, m, d) ? std::string(text) : std::string("18991230");
  }
  int d = 0, m = 0, y = 0;
  char tail = 0;
  const std::string s(text);
  if (std::sscanf(s.c_str(), "%d/%d/%d%c", &d, &m, &y, &tail) == 3 && ValidDate(y, m, d))
    return fmt::format("{:04d}{:02d}{:02d}", y, m, d);
  throw EXbError(XbErrorKind::kExpression, fmt::format("'{}' is not a valid date", s));
}

double SeekNumber(std::string_view text) {
  std::string s(text);
  const auto first = s.find_first_not_of(' ');
  const auto last = s.find_last_not_of(' ');
  const std::string core = first == std::string::npos ? "" : s.substr(first, last - first + 1);
  char* end = nullptr;
  const double v = std::strtod(core.c_str(), &end);
  if (core.empty() || *end != 0 || core.find_first_of("xXpPnN") != std::string::npos)
    throw EXbError(XbErrorKind::kExpression,
                   fmt::format("'{}' is not a valid floating point value", s));
  return v;
}

}  // namespace

std::string FormatKey(const IndexKeyValue& value, NtxKeyType type, uint16_t key_size,
                      uint16_t decimals, bool trim) {
  std::string text;
  switch (type) {
    case NtxKeyType::kText:
      if (value.kind == IndexKeyValue::Kind::kLogical)
        text.assign(1, value.logical ? 'T' : 'F');
      else if (value.kind == IndexKeyValue::Kind::kText)
        text = value.text;
      else
        throw EXbError(XbErrorKind::kExpression, "Variant types mismatch for compare");
      break;
    case NtxKeyType::kNumber:
      if (value.kind != IndexKeyValue::Kind::kNumber)
        throw EXbError(XbErrorKind::kExpression, "Variant types mismatch for compare");
      text = FormatNumber(value.number, key_size, decimals);
      break;
    case NtxKeyType::kDate:
      if (value.kind != IndexKeyValue::Kind::kDate)
        throw EXbError(XbErrorKind::kExpression, "Variant types mismatch for compare");
      text = DayToDtos(value.day);
      break;
  }
  text = CutTo(std::move(text), key_size);
  return trim ? TrimKey(text) : text;
}

std::string FormatSeekKey(std::string_view text, NtxKeyType type, uint16_t key_size,
                          uint16_t decimals) {
  switch (type) {
    case NtxKeyType::kNumber:
      return FormatKey(IndexKeyValue::Number(SeekNumber(text)), type, key_size, decimals, false);
    case NtxKeyType::kDate:
      return CutTo(SeekDate(text), key_size);
    case NtxKeyType::kText:
      break;
  }
  return std::string(text);
}

int CompareKeys(std::string_view searched, std::string_view stored, int partial) {
  const size_t n = searched.size();
  for (size_t i = 0; i < n; ++i) {
    const auto a = static_cast<unsigned char>(searched[i]);
    const auto b = static_cast<unsigned char>(i < stored.size() ? stored[i] : ' ');
    if (a != b) return a < b ? -1 : 1;
  }
  return stored.size() > n ? partial : 0;
}

}  // namespace fidora
