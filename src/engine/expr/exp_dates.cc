#include "engine/expr/exp_dates.h"

#include "engine/dbf/dbf_date.h"
#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_text.h"
#include "engine/expr/rtl_error.h"

namespace fidora {

namespace {
constexpr std::int64_t kFirstDay = 1721426;  // 1 January 0001
constexpr std::int64_t kLastDay = 5373484;   // 31 December 9999
const TxDBFDate& Codec() {
  return TxDBFDate::Instance();
}
}  // namespace

std::int32_t DayNumberFromYmd(int year, int month, int day) {
  return static_cast<std::int32_t>(TxDBFDate::EncodeDay(year, month, day));
}

bool IsValidYmd(int year, int month, int day) {
  return TxDBFDate::EncodeDay(year, month, day) > 0;
}

bool YmdFromDayNumber(std::int64_t dayNumber, int& year, int& month, int& day) {
  if (dayNumber < kFirstDay || dayNumber > kLastDay) return false;
  TxDBFDate::DecodeDay(dayNumber, &year, &month, &day);
  return true;
}

std::int32_t DayNumberFromText(const std::string& text) {
  std::int64_t day = 0;
  if (!Codec().FieldToDay(text, &day)) throw InvalidDateError(std::string(TrimRight(text)));
  return static_cast<std::int32_t>(day);
}

namespace {
// A day number past the year 9999 cannot be written as a date.
void CheckInCalendar(std::int64_t dayNumber) {
  if (dayNumber > 0 && (dayNumber < kFirstDay || dayNumber > kLastDay))
    throw EXbExpression("A Date value is required but invalid");
}
}  // namespace

std::string DayNumberToFieldText(std::int64_t dayNumber) {
  if (dayNumber <= 0) return std::string(8, ' ');
  CheckInCalendar(dayNumber);
  return Codec().DayToField(dayNumber);
}

std::string DayNumberToDisplayText(std::int64_t dayNumber) {
  if (dayNumber <= 0) return std::string(10, ' ');
  CheckInCalendar(dayNumber);
  return Codec().DayToDisplay(dayNumber);
}

std::int32_t TodayDayNumber(FileIo& io) {
  return static_cast<std::int32_t>(Codec().Today(io));
}

int DayOfWeek(std::int64_t dayNumber) {
  return Codec().DayOfWeek(dayNumber);
}

}  // namespace fidora
