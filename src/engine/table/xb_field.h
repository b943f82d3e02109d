// TXbField: one field of an open dataset, typed by its descriptor. Values are read from the
// dataset's current record and written into it (edit or insert state only), with the null
// rules and the OEM <-> ANSI translation of the dataset.
//
// Value types: C string; N/F with decimals float; without decimals 1-4 digits small integer,
// 5-9 integer, 10 or more by LargeIntegerAs; D date; L boolean; M memo; B/G binary.
// Reading: a string is the text without trailing blanks (empty is null); numbers and
// booleans are never null; a date is null unless the field holds 8 digits of a valid date;
// a memo is null when its block number is 0 or blank.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/table/field_value.h"

namespace fidora {

class TXbDataSet;

enum class TxFieldType { String, SmallInt, Integer, LargeInt, Float, Date, Boolean, Memo, Blob };

class TXbField {
 public:
  TXbField(TXbDataSet& dataset, int number, std::string name, TxFieldType type, int size);

  const std::string& FieldName() const { return name_; }
  int FieldNo() const { return number_; }
  TxFieldType DataType() const { return type_; }
  int Size() const { return size_; }
  // Type name as conversion errors show it ("String", "Smallint", "Integer", "Int64",
  // "Double", "Date", "Boolean", "Memo", "Blob").
  const char* TypeName() const;

  TFieldValue Value() const;
  bool IsNull() const { return Value().IsNull(); }
  // Conversions of the value; null gives "", 0, 0.0, false, 0 (no date).
  std::string AsString() const;
  int64_t AsInteger() const;
  double AsFloat() const;
  bool AsBoolean() const;
  int64_t AsDate() const;  // day number, 0 for none

  // Stores a value. Text given to a field that is not a string is converted first; text
  // that does not convert (empty text too) raises EVariantError and the field keeps its
  // value. A null value clears the field.
  void SetValue(const TFieldValue& value);
  void SetAsString(std::string_view text) { SetValue(TFieldValue(std::string(text))); }
  void SetAsInteger(int64_t value) { SetValue(TFieldValue(value)); }
  void SetAsFloat(double value) { SetValue(TFieldValue(value)); }
  void SetAsBoolean(bool value) { SetValue(TFieldValue(value)); }
  void SetAsDate(int64_t day_number);
  void Clear() { SetValue(TFieldValue()); }

 private:
  bool IsNumeric() const;
  void StoreNumber(const TFieldValue& value);
  void StoreDate(const TFieldValue& value);
  void StoreBoolean(const TFieldValue& value);
  void StoreText(const TFieldValue& value);
  [[noreturn]] void ConversionFailed(const TFieldValue& value) const;

  TXbDataSet& dataset_;
  int number_;
  std::string name_;
  TxFieldType type_;
  int size_;
};

}  // namespace fidora
