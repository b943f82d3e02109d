#include "engine/table/xb_field.h"

#include <cmath>
#include <limits>

#include "engine/dbf/dbf_date.h"
#include "engine/dbf/text_trim.h"
#include "engine/table/dataset_error.h"
#include "engine/table/oem_ansi.h"
#include "engine/table/xb_dataset.h"

namespace fidora {

namespace {

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

int Digits(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

}  // namespace

TXbField::TXbField(TXbDataSet& dataset, int number, std::string name, TxFieldType type, int size)
    : dataset_(dataset), number_(number), name_(std::move(name)), type_(type), size_(size) {}

const char* TXbField::TypeName() const {
  switch (type_) {
    case TxFieldType::String:
      return "String";
    case TxFieldType::SmallInt:
      return "Smallint";
    case TxFieldType::Integer:
      return "Integer";
    case TxFieldType::LargeInt:
      return "Int64";
    case TxFieldType::Float:
      return "Double";
    case TxFieldType::Date:
      return "Date";
    case TxFieldType::Boolean:
      return "Boolean";
    case TxFieldType::Memo:
      return "Memo";
    case TxFieldType::Blob:
      return "Blob";
  }
  return "Unknown";
}

bool TXbField::IsNumeric() const {
  return type_ == TxFieldType::SmallInt || type_ == TxFieldType::Integer ||
         type_ == TxFieldType::LargeInt || type_ == TxFieldType::Float;
}

TFieldValue TXbField::Value() const {
  TDataSetHandler& h = dataset_.ActiveHandler();
  const std::string_view raw = h.FieldRaw(number_);
  switch (type_) {
    case TxFieldType::String: {
      const std::string_view text = TrimTrailingBlanks(raw);
      if (text.empty()) return {};
      return dataset_.TranslateASCII() ? OemToAnsi(text) : std::string(text);
    }
    case TxFieldType::SmallInt:
    case TxFieldType::Integer:
    case TxFieldType::LargeInt: {
      // Halves go to the even neighbour, as the platform's rounding does.
      const double whole = std::nearbyint(h.GetNumber(number_));
      if (!(std::fabs(whole) < 9.2e18))
        throw EVariantError(ConversionMessage("Double", TypeName()));
      return static_cast<int64_t>(whole);
    }
    case TxFieldType::Float:
      return h.GetNumber(number_);
    case TxFieldType::Date: {
      const std::string_view text = TrimTrailingBlanks(raw);
      if (text.size() != 8 || text == "00000000" || !AllDigits(text)) return {};
      const int64_t day = TxDBFDate::EncodeDay(Digits(text.substr(0, 4)), Digits(text.substr(4, 2)),
                                               Digits(text.substr(6, 2)));
      if (day <= 0) return {};
      return TDayNumber{day};
    }
    case TxFieldType::Boolean:
      return h.GetLogical(number_);
    case TxFieldType::Memo:
    case TxFieldType::Blob: {
      if (h.GetNumber(number_) <= 0) return {};
      const std::string text = h.GetMemo(number_);
      return type_ == TxFieldType::Memo && dataset_.TranslateASCII() ? OemToAnsi(text) : text;
    }
  }
  return {};
}

std::string TXbField::AsString() const {
  return Value().AsText();
}

double TXbField::AsFloat() const {
  const TFieldValue v = Value();
  if (v.IsNull()) return 0;
  if (v.IsFloat()) return v.Float();
  if (v.IsInteger()) return static_cast<double>(v.Integer());
  if (v.IsBoolean()) return v.Boolean() ? 1 : 0;
  if (v.IsDate()) throw EVariantError(ConversionMessage("Date", "Double"));
  if (const auto number = TextToFloat(v.Text())) return *number;
  throw EVariantError(ConversionMessage("String", "Double"));
}

int64_t TXbField::AsInteger() const {
  const TFieldValue v = Value();
  if (v.IsInteger()) return v.Integer();
  const double number = AsFloat();
  if (std::fabs(number) >= 9.2e18) throw EVariantError(ConversionMessage(v.TypeName(), "Int64"));
  return static_cast<int64_t>(std::nearbyint(number));
}

bool TXbField::AsBoolean() const {
  const TFieldValue v = Value();
  if (v.IsNull()) return false;
  if (v.IsBoolean()) return v.Boolean();
  if (v.IsInteger()) return v.Integer() != 0;
  if (v.IsFloat()) return v.Float() != 0;
  if (v.IsText())
    if (const auto b = TextToBoolean(v.Text())) return *b;
  throw EVariantError(ConversionMessage(v.TypeName(), "Boolean"));
}

int64_t TXbField::AsDate() const {
  const TFieldValue v = Value();
  if (v.IsNull()) return 0;
  if (v.IsDate()) return v.Date().day;
  if (v.IsText())
    if (const auto d = TextToDate(v.Text())) return d->day;
  throw EVariantError(ConversionMessage(v.TypeName(), "Date"));
}

void TXbField::SetAsDate(int64_t day_number) {
  SetValue(day_number > 0 ? TFieldValue(TDayNumber{day_number}) : TFieldValue());
}

void TXbField::ConversionFailed(const TFieldValue& value) const {
  throw EVariantError(ConversionMessage(value.TypeName(), TypeName()));
}

void TXbField::SetValue(const TFieldValue& value) {
  dataset_.CheckEditing();
  if (IsNumeric())
    StoreNumber(value);
  else if (type_ == TxFieldType::Date)
    StoreDate(value);
  else if (type_ == TxFieldType::Boolean)
    StoreBoolean(value);
  else
    StoreText(value);
  dataset_.FieldChanged();
}

void TXbField::StoreNumber(const TFieldValue& value) {
  TDataSetHandler& h = dataset_.ActiveHandler();
  double number = 0;
  if (value.IsNull()) {
    number = 0;
  } else if (value.IsInteger()) {
    number = static_cast<double>(value.Integer());
  } else if (value.IsFloat()) {
    number = value.Float();
  } else if (value.IsBoolean()) {
    number = value.Boolean() ? 1 : 0;
  } else if (value.IsText()) {
    const auto parsed = TextToFloat(value.Text());
    if (!parsed) ConversionFailed(value);
    number = *parsed;
  } else {
    ConversionFailed(value);
  }
  if (type_ != TxFieldType::Float) {
    number = std::nearbyint(number);
    const double limit = type_ == TxFieldType::SmallInt  ? 32767.0
                         : type_ == TxFieldType::Integer ? 2147483647.0
                                                         : 9.2e18;
    if (std::fabs(number) > limit) ConversionFailed(value);
  }
  h.SetNumber(number_, number);
}

void TXbField::StoreDate(const TFieldValue& value) {
  TDataSetHandler& h = dataset_.ActiveHandler();
  if (value.IsNull()) {
    h.SetFieldRaw(number_, "");
    return;
  }
  TDayNumber day;
  if (value.IsDate()) {
    day = value.Date();
  } else if (value.IsText()) {
    const auto parsed = TextToDate(value.Text());
    if (!parsed) ConversionFailed(value);
    day = *parsed;
  } else {
    ConversionFailed(value);
  }
  h.SetDate(number_, day.day);
}

void TXbField::StoreBoolean(const TFieldValue& value) {
  TDataSetHandler& h = dataset_.ActiveHandler();
  bool on = false;
  if (value.IsNull()) {
    on = false;
  } else if (value.IsBoolean()) {
    on = value.Boolean();
  } else if (value.IsInteger()) {
    on = value.Integer() != 0;
  } else if (value.IsFloat()) {
    on = value.Float() != 0;
  } else if (value.IsText()) {
    const auto parsed = TextToBoolean(value.Text());
    if (!parsed) ConversionFailed(value);
    on = *parsed;
  } else {
    ConversionFailed(value);
  }
  h.SetLogical(number_, on);
}

void TXbField::StoreText(const TFieldValue& value) {
  TDataSetHandler& h = dataset_.ActiveHandler();
  const std::string text = value.AsText();
  const bool translate = dataset_.TranslateASCII() && type_ != TxFieldType::Blob;
  const std::string stored = translate ? AnsiToOem(text) : text;
  if (type_ == TxFieldType::Memo || type_ == TxFieldType::Blob) {
    if (value.IsNull())
      h.SetFieldRaw(number_, "");
    else
      h.SetMemo(number_, stored);
    return;
  }
  h.SetFieldRaw(number_, stored);
}

}  // namespace fidora
