#include "engine/dbf/dbf_fields.h"

#include <fmt/printf.h>

#include <algorithm>
#include <cstring>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/dbf_date.h"
#include "engine/dbf/dbf_number.h"
#include "engine/dbf/memo_file.h"
#include "engine/dbf/text_trim.h"
#include "engine/dbf/xb_error.h"

namespace fidora {
namespace {

bool IsTrueChar(char c) {
  return std::strchr("TtYyJj", c) != nullptr && c != '\0';
}
bool IsFalseChar(char c) {
  return std::strchr("FfNn", c) != nullptr && c != '\0';
}

bool NumberOk(char t) {
  return TDbfFields::IsNumberType(t) || TDbfFields::IsMemoType(t);
}
bool DateOk(char t) {
  return t == 'D';
}
bool LogicalOk(char t) {
  return t == 'L';
}

std::string InvalidValue(const char* kind, const std::string& field) {
  return fmt::sprintf("Invalid %s value for field %s", kind, field);
}

}  // namespace

int TDbfFields::FieldIndex(std::string_view name) const {
  name = TrimTrailingBlanks(name);
  for (const TDbfFieldDef& f : field_defs())
    if (AnsiSameText(f.name, name)) return static_cast<int>(f.number);
  return 0;
}

int TDbfFields::FieldNo(std::string_view name) const {
  const int n = FieldIndex(name);
  if (n == 0)
    throw EXbError(XbErrorKind::kNotFound,
                   fmt::sprintf("There is no field name %s",
                                path() + "->" + std::string(TrimTrailingBlanks(name))));
  return n;
}

const TDbfFieldDef* TDbfFields::FieldDef(int n) const {
  if (n < 1 || n > FieldCount()) return nullptr;
  return &field_defs()[static_cast<size_t>(n - 1)];
}

std::string TDbfFields::FieldName(int n) const {
  const TDbfFieldDef* f = FieldDef(n);
  return f ? f->name : std::string();
}
char TDbfFields::FieldType(int n) const {
  const TDbfFieldDef* f = FieldDef(n);
  return f ? f->type : '\0';
}
uint32_t TDbfFields::FieldLength(int n) const {
  const TDbfFieldDef* f = FieldDef(n);
  return f ? f->length : 0;
}
uint32_t TDbfFields::FieldDecimals(int n) const {
  const TDbfFieldDef* f = FieldDef(n);
  return f ? f->decimals : 0;
}
uint32_t TDbfFields::FieldOffset(int n) const {
  const TDbfFieldDef* f = FieldDef(n);
  return f ? f->offset : 0;
}

const TDbfFieldDef& TDbfFields::CheckedDef(std::string_view name, bool (*type_ok)(char)) const {
  const TDbfFieldDef& f = *FieldDef(FieldNo(name));
  if (!type_ok(f.type)) throw EXbError(fmt::sprintf("Field %s is the incorrect type", f.name));
  return f;
}

std::string TDbfFields::TableFieldArg(const TDbfFieldDef& f, std::string_view text) const {
  return table_name() + "->" + f.name + " (" + std::string(text) + ")";
}

std::string_view TDbfFields::FieldRaw(int n) const {
  const TDbfFieldDef* f = FieldDef(n);
  if (!f) return {};
  return std::string_view(record_buffer() + f->offset, f->length);
}

void TDbfFields::Store(const TDbfFieldDef& f, std::string_view bytes) {
  char* dest = record_buffer() + f.offset;
  const size_t n = std::min<size_t>(bytes.size(), f.length);
  std::memcpy(dest, bytes.data(), n);
  std::memset(dest + n, ' ', f.length - n);
  set_modified(f.number);
}

void TDbfFields::SetFieldRaw(int n, std::string_view bytes) {
  if (const TDbfFieldDef* f = FieldDef(n)) Store(*f, bytes);
}

std::string TDbfFields::FieldText(int n) const {
  const TDbfFieldDef* f = FieldDef(n);
  if (!f) return {};
  const std::string_view raw = TrimTrailingBlanks(FieldRaw(n));
  switch (f->type) {
    case 'N':
    case 'F':
      if (raw.empty()) return *FormatDbfNumber(0, static_cast<int>(f->decimals));
      return std::string(raw);
    case 'D': {
      const std::string display = TxDBFDate::Instance().DayToDisplay(GetDate(n));
      return std::string(TrimTrailingBlanks(display));
    }
    case 'L':
      return GetLogical(n) ? "T" : "F";
    case 'M':
    case 'B':
    case 'G':
      return GetMemo(n);
    default:
      return std::string(raw);
  }
}

void TDbfFields::SetFieldText(int n, std::string_view text) {
  const TDbfFieldDef* f = FieldDef(n);
  if (!f) return;
  switch (f->type) {
    case 'D': {
      int64_t day = 0;
      if (!TxDBFDate::Instance().FieldToDay(text, &day)) day = -1;
      SetDate(n, day);
      return;
    }
    case 'N':
    case 'F': {
      const std::optional<double> v = ParseDbfNumber(text);
      if (!v) throw EXbError(InvalidValue("Number", f->name));
      StoreNumber(*f, *v);
      return;
    }
    case 'L': {
      const std::string_view t = TrimTrailingBlanks(text);
      const char c = t.empty() ? 'F' : t.front();
      if (IsTrueChar(c)) {
        SetLogical(n, true);
      } else if (IsFalseChar(c)) {
        SetLogical(n, false);
      } else {
        const std::optional<double> v = ParseDbfNumber(t);
        if (!v) throw EXbError(InvalidValue("Logical", f->name));
        SetLogical(n, *v != 0);
      }
      return;
    }
    case 'M':
    case 'B':
    case 'G':
      SetMemo(n, text);
      return;
    default:
      Store(*f, text);
  }
}

double TDbfFields::GetNumber(int n) const {
  const TDbfFieldDef* f = FieldDef(n);
  if (!f) return 0;
  const std::string_view raw = TrimTrailingBlanks(FieldRaw(n));
  const std::optional<double> v = ParseDbfNumber(raw);
  if (!v) throw EXbError(fmt::sprintf("Invalid numeric value in field %s", TableFieldArg(*f, raw)));
  return *v;
}

double TDbfFields::GetNumber(std::string_view name) const {
  return GetNumber(static_cast<int>(CheckedDef(name, NumberOk).number));
}

void TDbfFields::StoreNumber(const TDbfFieldDef& f, double value) {
  const std::optional<std::string> text = FormatDbfNumber(value, static_cast<int>(f.decimals));
  if (!text) throw EXbError(InvalidValue("Number", f.name));
  if (text->size() > f.length)
    throw EXbError(fmt::sprintf("numeric value too big in field %s", f.name + " - " + *text));
  Store(f, std::string(f.length - text->size(), ' ') + *text);
}

void TDbfFields::SetNumber(int n, double value) {
  const TDbfFieldDef* f = FieldDef(n);
  if (!f) return;
  if (!NumberOk(f->type)) throw EXbError(fmt::sprintf("Field %s is the incorrect type", f->name));
  StoreNumber(*f, value);
}

void TDbfFields::SetNumber(std::string_view name, double value) {
  StoreNumber(CheckedDef(name, NumberOk), value);
}

int64_t TDbfFields::GetDate(int n) const {
  const TDbfFieldDef* f = FieldDef(n);
  if (!f) return 0;
  int64_t day = 0;
  const std::string_view raw = FieldRaw(n);
  if (!TxDBFDate::Instance().FieldToDay(raw, &day))
    throw EXbError(
        fmt::sprintf("Invalid date in field %s", TableFieldArg(*f, TrimTrailingBlanks(raw))));
  return day;
}

int64_t TDbfFields::GetDate(std::string_view name) const {
  return GetDate(static_cast<int>(CheckedDef(name, DateOk).number));
}

bool TDbfFields::SetDate(int n, int64_t day_number) {
  const TDbfFieldDef* f = FieldDef(n);
  if (!f || f->type != 'D') return false;
  if (day_number == -1) throw EXbError(InvalidValue("Date", f->name));
  Store(*f, TxDBFDate::Instance().DayToField(day_number));
  return true;
}

void TDbfFields::SetDate(std::string_view name, int64_t day_number) {
  SetDate(static_cast<int>(CheckedDef(name, DateOk).number), day_number);
}

bool TDbfFields::GetLogical(int n) const {
  const std::string_view raw = FieldRaw(n);
  return !raw.empty() && IsTrueChar(raw.front());
}

bool TDbfFields::GetLogical(std::string_view name) const {
  return GetLogical(static_cast<int>(CheckedDef(name, LogicalOk).number));
}

void TDbfFields::SetLogical(int n, bool value) {
  const TDbfFieldDef* f = FieldDef(n);
  if (!f) return;
  if (f->type != 'L') throw EXbError(InvalidValue("Logical", f->name));
  Store(*f, value ? "T" : "F");
}

void TDbfFields::SetLogical(std::string_view name, bool value) {
  SetLogical(static_cast<int>(CheckedDef(name, LogicalOk).number), value);
}

int64_t TDbfFields::BlockOf(const TDbfFieldDef& f) const {
  const std::optional<double> v = ParseDbfNumber(FieldRaw(static_cast<int>(f.number)));
  // A number no memo block can have (beyond 32 bits, or not finite) names no memo.
  return v && *v > 0 && *v <= UINT32_MAX ? static_cast<int64_t>(*v) : 0;
}

std::string TDbfFields::GetMemo(int n) const {
  const TDbfFieldDef* f = FieldDef(n);
  if (!f) return {};
  const int64_t block = BlockOf(*f);
  if (block <= 0 || block > UINT32_MAX) return {};
  return Memo().ReadMemo(static_cast<uint32_t>(block));
}

void TDbfFields::SetMemo(int n, std::string_view text) {
  const TDbfFieldDef* f = FieldDef(n);
  if (!f) return;
  const int64_t old = BlockOf(*f);
  const uint32_t block =
      Memo().WriteMemo(old > 0 && old <= UINT32_MAX ? static_cast<uint32_t>(old) : 0, text);
  StoreNumber(*f, block);
}

void TDbfFields::BlankRecord() {
  char* rec = record_buffer();
  std::memset(rec, ' ', record_length());
  for (const TDbfFieldDef& f : field_defs())
    if (IsNumberType(f.type)) StoreNumber(f, 0);
  for (size_t i = 0; i <= field_defs().size(); ++i) set_modified(i);
}

void TDbfFields::Delete() {
  if (record_buffer()[0] == '*') return;
  record_buffer()[0] = '*';
  set_modified(0);
  WriteRecord(recno());
}

void TDbfFields::Recall() {
  if (record_buffer()[0] == ' ') return;
  record_buffer()[0] = ' ';
  set_modified(0);
  WriteRecord(recno());
}

}  // namespace fidora
