#include "engine/dbf/dbf_date.h"

#include <fmt/format.h>

#include <chrono>
#include <ctime>

namespace fidora {
namespace {

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

int ToInt(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

// The width decimal digits of 0 <= value < 10^width.
void PutDigits(char* at, int value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

}  // namespace

const TxDBFDate& TxDBFDate::Instance() {
  static const TxDBFDate codec;
  return codec;
}

int64_t TxDBFDate::EncodeDay(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return -1;
  // Gregorian calendar date to Julian day number.
  const int64_t a = (14 - month) / 12;
  const int64_t y = year + 4800 - a;
  const int64_t m = month + 12 * a - 3;
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

void TxDBFDate::DecodeDay(int64_t day_number, int* year, int* month, int* day) {
  const int64_t a = day_number + 32044;
  const int64_t b = (4 * a + 3) / 146097;
  const int64_t c = a - 146097 * b / 4;
  const int64_t d = (4 * c + 3) / 1461;
  const int64_t e = c - 1461 * d / 4;
  const int64_t m = (5 * e + 2) / 153;
  *day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  *month = static_cast<int>(m + 3 - 12 * (m / 10));
  *year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

std::string TxDBFDate::DayToField(int64_t day_number) const {
  if (day_number <= 0) return std::string(8, ' ');
  int y, m, d;
  DecodeDay(day_number, &y, &m, &d);
  // Month and day are always two digits; the year of a day number far outside the calendar
  // is not four. Digits are put by hand: an index build on a date converts every record.
  if (y < 0 || y > 9999) return fmt::format("{:04d}{:02d}{:02d}", y, m, d);
  std::string text(8, '0');
  PutDigits(text.data(), y, 4);
  PutDigits(text.data() + 4, m, 2);
  PutDigits(text.data() + 6, d, 2);
  return text;
}

bool TxDBFDate::FieldToDay(std::string_view text, int64_t* day_number) const {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text == "00000000") {
    *day_number = 0;
    return true;
  }
  if (text.size() == 8 && AllDigits(text)) {
    const int64_t day =
        EncodeDay(ToInt(text.substr(0, 4)), ToInt(text.substr(4, 2)), ToInt(text.substr(6, 2)));
    *day_number = day < 0 ? kDay18991230 : day;
    return true;
  }
  return ParseShortDate(text, day_number);
}

bool TxDBFDate::ParseShortDate(std::string_view text, int64_t* day_number) const {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  const size_t s1 = text.find('/');
  if (s1 == std::string_view::npos) return false;
  const size_t s2 = text.find('/', s1 + 1);
  if (s2 == std::string_view::npos) return false;
  const std::string_view dd = text.substr(0, s1);
  const std::string_view mm = text.substr(s1 + 1, s2 - s1 - 1);
  const std::string_view yy = text.substr(s2 + 1);
  if (!AllDigits(dd) || !AllDigits(mm) || !AllDigits(yy) || dd.size() > 2 || mm.size() > 2 ||
      (yy.size() != 2 && yy.size() != 4))
    return false;
  int year = ToInt(yy);
  if (yy.size() == 2) year += year < 50 ? 2000 : 1900;
  const int64_t day = EncodeDay(year, ToInt(mm), ToInt(dd));
  if (day < 0) return false;
  *day_number = day;
  return true;
}

std::string TxDBFDate::DayToDisplay(int64_t day_number) const {
  if (day_number <= 0) return std::string(DisplayFormat().size(), ' ');
  int y, m, d;
  DecodeDay(day_number, &y, &m, &d);
  return fmt::format("{:02d}/{:02d}/{:04d}", d, m, y);
}

int64_t TxDBFDate::Today(FileIo& io) const {
  const std::time_t now = std::chrono::system_clock::to_time_t(io.Now());
  std::tm local{};
  localtime_r(&now, &local);
  return EncodeDay(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

int TxDBFDate::DayOfWeek(int64_t day_number) const {
  if (day_number <= 0) return 0;
  // Julian day 0 was a Monday.
  return static_cast<int>((day_number + 1) % 7) + 1;
}

}  // namespace fidora
