// The frequent-shopper numbering options, kept as two rows of the point-of-sale settings table
// Morvex.DBF (fields SECTION and VALUE), shared with the point-of-sale programs:
//   "FreqShop:AutoGenNumber"  "1" when numbers may be assigned automatically, "0" otherwise;
//   "FreqShop:AutoGenStart"   the first number to try, as decimal text.
// A row is found by an exact, case-sensitive match of the whole SECTION value. The settings
// dataset is opened by each call and closed again before it returns, on every path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fidora {

class TXbDataSet;

inline constexpr char kAutoGenNumberSection[] = "FreqShop:AutoGenNumber";
inline constexpr char kAutoGenStartSection[] = "FreqShop:AutoGenStart";

// The VALUE of each row as stored (trailing blanks removed); nullopt when the row is missing.
struct TNumberingRows {
  std::optional<std::string> auto_gen_number;
  std::optional<std::string> auto_gen_start;

  // Automatic numbering is on exactly when the AutoGenNumber row holds "1".
  bool AutoAssignAllowed() const { return auto_gen_number == "1"; }
  // The AutoGenStart row as a decimal integer; nullopt when it is missing or not a number.
  std::optional<int64_t> Start() const;
};

// Reads both rows. `settings` must be closed and bound to the settings table. Errors of the
// engine (a missing table, a lock) reach the caller.
TNumberingRows ReadNumberingRows(TXbDataSet& settings);

// Stores "1" or "0" in the AutoGenNumber row and `start` in decimal in the AutoGenStart row,
// editing each row where it exists and appending it where it does not. Errors reach the caller;
// a row already written stays written.
void WriteNumberingRows(TXbDataSet& settings, bool auto_assign, int64_t start);

// Decimal integer text with blanks around it and an optional sign; nullopt for anything else.
std::optional<int64_t> SettingInteger(std::string_view value);

}  // namespace fidora
