// TDbfFields: the field level of an open table — field lookup, and typed reads and writes
// of the record buffer by the rules of each field type. Field numbers are 1-based.
//
// Number-based operations do nothing for a number outside 1..FieldCount() (empty text,
// 0, false); name-based ones raise "There is no field name %s" for an unknown name and
// "Field %s is the incorrect type" for a field of another type. Conversion errors leave
// the field as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/dbf/dbf_file.h"

namespace fidora {

class TDbfFields : public TDbfFile {
 public:
  using TDbfFile::TDbfFile;

  int FieldCount() const { return static_cast<int>(field_defs().size()); }
  // Number of the first field of that name (case and trailing blanks ignored), 0 if none.
  int FieldIndex(std::string_view name) const;
  // As FieldIndex, but an unknown name raises "There is no field name %s".
  int FieldNo(std::string_view name) const;
  // Descriptor of field n, or nullptr.
  const TDbfFieldDef* FieldDef(int n) const;
  std::string FieldName(int n) const;
  char FieldType(int n) const;          // '\0' outside the range
  uint32_t FieldLength(int n) const;    // for C including the high byte
  uint32_t FieldDecimals(int n) const;  // 0 for C
  uint32_t FieldOffset(int n) const;

  // Exactly the stored bytes of field n in the record buffer.
  std::string_view FieldRaw(int n) const;
  // Stores bytes as they are, cut or padded with blanks to the field length.
  void SetFieldRaw(int n, std::string_view bytes);

  // Text for display: trailing blanks removed; N and F: blank reads as the formatted 0;
  // D: "dd/mm/yyyy" (empty for no date); L: "T" or "F"; M: the memo text.
  std::string FieldText(int n) const;
  std::string FieldText(std::string_view name) const { return FieldText(FieldNo(name)); }
  // Sets a field from text by its type: D through the date codec, N and F as numbers,
  // L by its first character, M through the memo file, others as raw text.
  void SetFieldText(int n, std::string_view text);
  void SetFieldText(std::string_view name, std::string_view text) {
    SetFieldText(FieldNo(name), text);
  }

  // Numbers: any field by number (converted from its text; a memo field gives its block);
  // by name only N, F and the memo-like types. Writing needs N, F or memo-like.
  double GetNumber(int n) const;
  double GetNumber(std::string_view name) const;
  void SetNumber(int n, double value);
  void SetNumber(std::string_view name, double value);

  // Dates as day numbers (0: no date). SetDate by number into a field that is not D does
  // nothing and returns false; the day number -1 raises "Invalid Date value for field %s".
  int64_t GetDate(int n) const;
  int64_t GetDate(std::string_view name) const;
  bool SetDate(int n, int64_t day_number);
  void SetDate(std::string_view name, int64_t day_number);

  // Logicals: true when the byte is one of "TtYyJj".
  bool GetLogical(int n) const;
  bool GetLogical(std::string_view name) const;
  void SetLogical(int n, bool value);
  void SetLogical(std::string_view name, bool value);

  // Memo text of field n (through the memo file) and its replacement.
  std::string GetMemo(int n) const;
  void SetMemo(int n, std::string_view text);

  // Blank record for an append: blanks everywhere, 0 in every N and F field, every field
  // marked modified.
  void BlankRecord();
  // Marks the current record deleted (or live again) and writes it, when it changes.
  void Delete();
  void Recall();

  static bool IsNumberType(char type) { return type == 'N' || type == 'F'; }

 private:
  const TDbfFieldDef& CheckedDef(std::string_view name, bool (*type_ok)(char)) const;
  std::string TableFieldArg(const TDbfFieldDef& f, std::string_view text) const;
  void StoreNumber(const TDbfFieldDef& f, double value);
  void Store(const TDbfFieldDef& f, std::string_view bytes);
  int64_t BlockOf(const TDbfFieldDef& f) const;
};

}  // namespace fidora
