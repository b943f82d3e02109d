#include "engine/expr/exp_dates.h"

#include <fmt/format.h>

#include <ctime>
#include <vector>

#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_text.h"
#include "engine/expr/rtl_error.h"

namespace fidora {

namespace {
constexpr std::int64_t kFirstDay = 1721426;  // 1 January 0001
constexpr std::int64_t kLastDay = 5373484;   // 31 December 9999

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Year, month, day of a date typed as d/m/y (or d/m in the current year), as the system's
// short date format reads it; two-digit years fall in the 100 years around today.
bool ParseShortDate(const std::string& text, int& y, int& m, int& d) {
  std::vector<int> parts;
  std::vector<size_t> widths;
  size_t i = 0;
  const std::string_view s = TrimBoth(text);
  while (i < s.size()) {
    size_t start = i;
    int value = 0;
    while (i < s.size() && IsDigit(s[i]) && i - start < 4) value = value * 10 + (s[i++] - '0');
    if (i == start) return false;
    parts.push_back(value);
    widths.push_back(i - start);
    if (i == s.size()) break;
    if (s[i] != '/' || parts.size() == 3) return false;
    if (++i == s.size()) return false;
  }
  if (parts.size() < 2) return false;
  int currentYear = 0, cm = 0, cd = 0;
  YmdFromDayNumber(TodayDayNumber(), currentYear, cm, cd);
  d = parts[0];
  m = parts[1];
  y = parts.size() == 3 ? parts[2] : currentYear;
  if (parts.size() == 3 && widths[2] <= 2) {
    const int pivot = currentYear - 50;
    y += pivot / 100 * 100;
    if (y < pivot) y += 100;
  }
  return IsValidYmd(y, m, d);
}
}  // namespace

std::int32_t DayNumberFromYmd(int year, int month, int day) {
  const int a = (14 - month) / 12;
  const int y = year + 4800 - a;
  const int mm = month + 12 * a - 3;
  return day + (153 * mm + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

bool IsValidYmd(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

bool YmdFromDayNumber(std::int64_t dayNumber, int& year, int& month, int& day) {
  if (dayNumber < kFirstDay || dayNumber > kLastDay) return false;
  const std::int64_t a = dayNumber + 32044;
  const std::int64_t b = (4 * a + 3) / 146097;
  const std::int64_t c = a - 146097 * b / 4;
  const std::int64_t d = (4 * c + 3) / 1461;
  const std::int64_t e = c - 1461 * d / 4;
  const std::int64_t m = (5 * e + 2) / 153;
  day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  month = static_cast<int>(m + 3 - 12 * (m / 10));
  year = static_cast<int>(100 * b + d - 4800 + m / 10);
  return true;
}

std::int32_t DayNumberFromText(const std::string& text) {
  const std::string trimmed(TrimRight(text));
  if (trimmed.empty() || trimmed == "00000000") return 0;
  bool eightDigits = trimmed.size() == 8;
  for (char c : trimmed) eightDigits = eightDigits && IsDigit(c);
  if (eightDigits) {
    const int y = std::stoi(trimmed.substr(0, 4));
    const int m = std::stoi(trimmed.substr(4, 2));
    const int d = std::stoi(trimmed.substr(6, 2));
    return IsValidYmd(y, m, d) ? DayNumberFromYmd(y, m, d) : kDelphiEpochDay;
  }
  int y = 0, m = 0, d = 0;
  if (!ParseShortDate(trimmed, y, m, d)) throw InvalidDateError(trimmed);
  return DayNumberFromYmd(y, m, d);
}

namespace {
void Decode(std::int64_t dayNumber, int& y, int& m, int& d) {
  // A day number past the year 9999 cannot be written as a date.
  if (!YmdFromDayNumber(dayNumber, y, m, d))
    throw EXbExpression("A Date value is required but invalid");
}
}  // namespace

std::string DayNumberToFieldText(std::int64_t dayNumber) {
  if (dayNumber <= 0) return std::string(8, ' ');
  int y, m, d;
  Decode(dayNumber, y, m, d);
  return fmt::format("{:04}{:02}{:02}", y, m, d);
}

std::string DayNumberToDisplayText(std::int64_t dayNumber) {
  if (dayNumber <= 0) return std::string(10, ' ');
  int y, m, d;
  Decode(dayNumber, y, m, d);
  return fmt::format("{:02}/{:02}/{:04}", d, m, y);
}

std::int32_t TodayDayNumber() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return DayNumberFromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

int DayOfWeek(std::int64_t dayNumber) {
  if (dayNumber <= 0) return 0;
  return static_cast<int>((dayNumber + 1) % 7) + 1;
}

}  // namespace fidora
