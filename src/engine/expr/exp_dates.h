// Day numbers as the expression engine uses them, through the table engine's date codec
// (TxDBFDate): the Julian day number of a date
// (1 January 1980 is 2444240), 0 meaning no date. Texts follow the system's fixed formats:
// "yyyymmdd" in fields and keys, "dd/mm/yyyy" for display and for reading typed dates.
#pragma once

#include <cstdint>
#include <string>

#include "engine/dbf/file_io.h"

namespace fidora {

inline constexpr std::int32_t kDelphiEpochDay = 2415019;  // 30 December 1899

std::int32_t DayNumberFromYmd(int year, int month, int day);
bool IsValidYmd(int year, int month, int day);
// False for a day number outside 1 January 0001 .. 31 December 9999.
bool YmdFromDayNumber(std::int64_t dayNumber, int& year, int& month, int& day);

// The text-to-day-number rule: trailing blanks removed; empty or "00000000" gives 0; eight
// digits are year, month, day (an impossible date gives 30 December 1899); anything else is
// read as dd/mm/yyyy and raises "'%s' is not a valid date" when it is not a date.
std::int32_t DayNumberFromText(const std::string& text);

// "yyyymmdd"; 8 blanks for a day number <= 0.
std::string DayNumberToFieldText(std::int64_t dayNumber);
// "dd/mm/yyyy"; 10 blanks for a day number <= 0.
std::string DayNumberToDisplayText(std::int64_t dayNumber);

// Today by io's clock.
std::int32_t TodayDayNumber(FileIo& io);
// 1 = Sunday .. 7 = Saturday; 0 for a day number <= 0.
int DayOfWeek(std::int64_t dayNumber);

}  // namespace fidora
