// TxDBFDate: the date codec of the table engine. The engine's date value is the day number,
// the Julian day number of the date (1 January 1980 is 2444240), 0 meaning no date.
// D fields store "yyyymmdd" or 8 blanks; the display format is the program's short date
// format "dd/mm/yyyy".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/dbf/file_io.h"

namespace fidora {

class TxDBFDate {
 public:
  // Day number of 30 December 1899, what a malformed stored date reads as.
  static constexpr int64_t kDay18991230 = 2415019;

  // The one shared instance.
  static const TxDBFDate& Instance();

  // Day number of a calendar date, or -1 when it is no valid date.
  static int64_t EncodeDay(int year, int month, int day);
  // Calendar date of a day number > 0.
  static void DecodeDay(int64_t day_number, int* year, int* month, int* day);

  // Day number to field text: "yyyymmdd", 8 blanks for a day number <= 0.
  std::string DayToField(int64_t day_number) const;
  // Field text to day number: trailing blanks removed; "" and "00000000" give 0; 8 digits
  // are year, month, day (an impossible date gives kDay18991230); other text is read in
  // the short date format. False when the text is no date.
  bool FieldToDay(std::string_view text, int64_t* day_number) const;
  // Text in the short date format ("25/12/2024"; "25/12/24" takes 2000-2049 or 1950-1999)
  // to day number; false when it is no valid date.
  bool ParseShortDate(std::string_view text, int64_t* day_number) const;
  // The short date format upper-cased, year widened to four digits: "DD/MM/YYYY".
  std::string DisplayFormat() const { return "DD/MM/YYYY"; }
  // Day number to display text; blanks as wide as the format for a day number <= 0.
  std::string DayToDisplay(int64_t day_number) const;
  // Today's day number (local time) by io's clock.
  int64_t Today(FileIo& io = SystemFileIo()) const;
  // Day of the week, 1 = Sunday .. 7 = Saturday; 0 for a day number <= 0.
  int DayOfWeek(int64_t day_number) const;
};

}  // namespace fidora
