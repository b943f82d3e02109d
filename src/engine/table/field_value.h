// TFieldValue: a field's value as the dataset delivers and takes it: null, text, a whole
// number, a floating-point number, a logical or a date (day number). Conversions from text
// follow the program's fixed formats: "." as the decimal point, dates as "dd/mm/yyyy".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace fidora {

struct TDayNumber {
  int64_t day = 0;  // Julian day number, > 0
  bool operator==(const TDayNumber&) const = default;
};

class TFieldValue {
 public:
  TFieldValue() = default;  // null
  TFieldValue(std::string text) : value_(std::move(text)) {}
  TFieldValue(const char* text) : value_(std::string(text)) {}
  TFieldValue(int64_t number) : value_(number) {}
  TFieldValue(int number) : value_(int64_t{number}) {}
  TFieldValue(double number) : value_(number) {}
  TFieldValue(bool logical) : value_(logical) {}
  TFieldValue(TDayNumber date) : value_(date) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  bool IsText() const { return std::holds_alternative<std::string>(value_); }
  bool IsInteger() const { return std::holds_alternative<int64_t>(value_); }
  bool IsFloat() const { return std::holds_alternative<double>(value_); }
  bool IsBoolean() const { return std::holds_alternative<bool>(value_); }
  bool IsDate() const { return std::holds_alternative<TDayNumber>(value_); }

  const std::string& Text() const { return std::get<std::string>(value_); }
  int64_t Integer() const { return std::get<int64_t>(value_); }
  double Float() const { return std::get<double>(value_); }
  bool Boolean() const { return std::get<bool>(value_); }
  TDayNumber Date() const { return std::get<TDayNumber>(value_); }

  // The value as text: null ""; numbers in their general decimal form (at most 15
  // significant digits, no trailing zeros); "True"/"False"; dates "dd/mm/yyyy".
  std::string AsText() const;
  // Name of the held type as conversion errors show it: "Null", "String", "Integer",
  // "Double", "Boolean", "Date".
  const char* TypeName() const;

  bool operator==(const TFieldValue&) const = default;

 private:
  std::variant<std::monostate, std::string, int64_t, double, bool, TDayNumber> value_;
};

// Text to a number: blanks around it allowed, an optional sign, digits with an optional "."
// and fraction, an optional exponent. Empty text, thousands separators and currency signs
// are not numbers.
std::optional<double> TextToFloat(std::string_view text);
// "True" or "False" in any case, or a number (non-zero is true); blanks around allowed.
std::optional<bool> TextToBoolean(std::string_view text);
// A date in the short date format ("dd/mm/yyyy" or "dd/mm/yy"); blanks around allowed.
std::optional<TDayNumber> TextToDate(std::string_view text);

// "Could not convert variant of type (%s) into type (%s)" filled with the two type names.
std::string ConversionMessage(const char* from, const char* to);

}  // namespace fidora
