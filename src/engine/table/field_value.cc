#include "engine/table/field_value.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <cmath>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/dbf_date.h"
#include "engine/dbf/dbf_number.h"
#include "engine/expr/exp_value.h"

namespace fidora {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string TFieldValue::AsText() const {
  if (IsNull()) return {};
  if (IsText()) return Text();
  if (IsInteger()) return std::to_string(Integer());
  if (IsFloat()) return FormatGeneral(Float());
  if (IsBoolean()) return Boolean() ? "True" : "False";
  return TxDBFDate::Instance().DayToDisplay(Date().day);
}

const char* TFieldValue::TypeName() const {
  if (IsNull()) return "Null";
  if (IsText()) return "String";
  if (IsInteger()) return "Integer";
  if (IsFloat()) return "Double";
  if (IsBoolean()) return "Boolean";
  return "Date";
}

std::optional<double> TextToFloat(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;
  const std::optional<double> value = ParseDbfNumber(text);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;
}

std::optional<bool> TextToBoolean(std::string_view text) {
  text = TrimBlanks(text);
  if (AnsiSameText(text, "True")) return true;
  if (AnsiSameText(text, "False")) return false;
  if (const std::optional<double> number = TextToFloat(text)) return *number != 0;
  return std::nullopt;
}

std::optional<TDayNumber> TextToDate(std::string_view text) {
  text = TrimBlanks(text);
  int64_t day = 0;
  if (text.empty() || !TxDBFDate::Instance().ParseShortDate(text, &day) || day <= 0)
    return std::nullopt;
  return TDayNumber{day};
}

std::string ConversionMessage(const char* from, const char* to) {
  return fmt::sprintf("Could not convert variant of type (%s) into type (%s)", from, to);
}

}  // namespace fidora
