// Values produced by evaluating an expression: a type code and the value of that type.
#pragma once

#include <cstdint>
#include <string>

namespace fidora {

// Type codes of expression values. Number, Integer, Date and DateTime form the numeric family:
// they are interchangeable in operators and function arguments (a Date holds a day number).
enum class TxExpType : int {
  Unknown = 0,
  Empty = 1,  // a function argument that was not given
  Any = 2,    // only as an argument requirement: every type is accepted
  Text = 3,
  Number = 4,
  Integer = 5,
  Date = 6,
  DateTime = 7,
  Boolean = 8,
  Memo = 9,  // the text of a field of a type the engine does not interpret
  Pointer = 10,
};

// "Text", "Number", ... as messages name them; "Invalid Value" for codes above 10.
std::string ExpTypeName(TxExpType type);
bool IsNumericType(TxExpType type);
// True when a value of type `actual` satisfies the requirement `needed`.
bool TypeSatisfies(TxExpType actual, TxExpType needed);

struct TxExpValue {
  TxExpType type = TxExpType::Unknown;
  double number = 0;     // Number, Integer, Date (day number), DateTime
  bool logical = false;  // Boolean
  std::string text;      // Text, Memo

  static TxExpValue Missing() { return TxExpValue{TxExpType::Empty, 0, false, {}}; }
  static TxExpValue OfText(std::string s) {
    return TxExpValue{TxExpType::Text, 0, false, std::move(s)};
  }
  static TxExpValue OfNumber(double d) { return TxExpValue{TxExpType::Number, d, false, {}}; }
  static TxExpValue OfDate(double day) { return TxExpValue{TxExpType::Date, day, false, {}}; }
  static TxExpValue OfBoolean(bool b) { return TxExpValue{TxExpType::Boolean, 0, b, {}}; }
};

// The empty date of CTOD(""): date functions treat it, like 0, as no date.
inline constexpr double kNoDate = 1e100;
inline bool IsNoDate(double day) {
  return day == 0 || day == kNoDate;
}

// Longest text a function may build from a length argument (the longest character field).
inline constexpr std::int64_t kMaxTextLength = 65535;

// A double truncated toward zero into an integer, saturating instead of overflowing.
std::int64_t TruncToInt(double d);

// General decimal notation with up to 15 significant digits: 12.5, 100, 0.0001, 1E20, 1.5E-6.
std::string FormatGeneral(double d);

// Reads a decimal number ("." as decimal point, optional sign and exponent, blanks around it
// allowed). Returns false when the whole text is not such a number.
bool ParseDecimal(const std::string& text, double& out);

}  // namespace fidora
