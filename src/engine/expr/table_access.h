// What an expression needs from the table it is bound to: the field descriptors, the values of
// the current record buffer and the table's position flags. The table engine implements it
// (see dbf_table_access.h); tests may implement it over records held in memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fidora {

class TxTableAccess {
 public:
  virtual ~TxTableAccess() = default;

  // The table file's full path, as errors name it.
  virtual std::string FilePath() const = 0;

  // Fields are numbered from 1.
  virtual int FieldCount() const = 0;
  virtual std::string FieldName(int field) const = 0;
  virtual char FieldType(int field) const = 0;     // upper-case type letter
  virtual int FieldLength(int field) const = 0;    // for C fields including the high byte
  virtual int FieldDecimals(int field) const = 0;  // 0 for C fields

  // Values of the current record buffer. Raw bytes stay valid until the record changes.
  virtual std::string_view FieldBytes(int field) const = 0;
  virtual double FieldNumber(int field) const = 0;           // N, F, I, Y
  virtual std::int32_t FieldDayNumber(int field) const = 0;  // D; 0 when empty
  virtual bool FieldLogical(int field) const = 0;            // L
  virtual std::string FieldMemo(int field) const = 0;        // M; empty without a memo

  virtual std::int64_t RecNo() const = 0;
  virtual bool IsDeleted() const = 0;  // the buffer's deletion flag is not a blank
  virtual bool IsBof() const = 0;
  virtual bool IsEof() const = 0;
};

}  // namespace fidora
