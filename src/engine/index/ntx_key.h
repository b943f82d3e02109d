// Key values of an order and their stored text: the C, N and D encodings, and the comparison
// every search uses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/dbf/text_trim.h"

namespace fidora {

// The type of an order's keys, from the result type of its key expression.
enum class NtxKeyType : char { kText = 'C', kNumber = 'N', kDate = 'D' };

// A key expression's value as the index sees it.
struct IndexKeyValue {
  enum class Kind { kText, kNumber, kDate, kLogical };
  Kind kind = Kind::kText;
  std::string text;
  double number = 0;
  int32_t day = 0;  // day number (Julian day), 0 or less for no date
  bool logical = false;

  static IndexKeyValue Text(std::string t) { return {Kind::kText, std::move(t), 0, 0, false}; }
  static IndexKeyValue Number(double n) { return {Kind::kNumber, {}, n, 0, false}; }
  static IndexKeyValue Date(int32_t d) { return {Kind::kDate, {}, 0, d, false}; }
  static IndexKeyValue Logical(bool b) { return {Kind::kLogical, {}, 0, 0, b}; }
};

NtxKeyType KeyTypeOf(const IndexKeyValue& value);

// Stored text of a value in an order of the given type, size and decimals. The text is never
// longer than key_size: a wider result is cut to key_size. With trim, trailing blanks go.
std::string FormatKey(const IndexKeyValue& value, NtxKeyType type, uint16_t key_size,
                      uint16_t decimals, bool trim);

// Stored text for a seek: a C key as given (blanks kept), an N key read as a number, a D key
// read as a date ("yyyymmdd" or "dd/mm/yyyy"). Text that does not convert raises EXbError.
std::string FormatSeekKey(std::string_view text, NtxKeyType type, uint16_t key_size,
                          uint16_t decimals);

// "yyyymmdd" of a day number; "00000000" for no date.
std::string DayToDtos(int32_t day);
int32_t DtosToDay(int year, int month, int day);

// Compares a searched key with a stored (trimmed) key over the searched key's length, a blank
// standing in where the stored key has ended. A searched key that is a proper prefix of the
// stored key gives `partial` (0: counts as equal, -1: counts as smaller).
int CompareKeys(std::string_view searched, std::string_view stored, int partial);

// A key without its trailing blanks.
inline std::string TrimKey(std::string_view key) {
  return std::string(TrimTrailingBlanks(key));
}

}  // namespace fidora
