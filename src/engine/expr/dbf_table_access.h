// TxDbfTableAccess: an open DBF table (TDbfFields) as the table an expression is bound to.
// It reads field values from the table's record buffer, so a compiled expression gives the
// value of whatever record the table last read. The table must outlive this object.
#pragma once

#include "engine/dbf/dbf_fields.h"
#include "engine/expr/table_access.h"

namespace fidora {

class TxDbfTableAccess final : public TxTableAccess {
 public:
  explicit TxDbfTableAccess(TDbfFields& table) : table_(table) {}

  std::string FilePath() const override { return table_.path(); }
  int FieldCount() const override { return table_.FieldCount(); }
  std::string FieldName(int field) const override { return table_.FieldName(field); }
  char FieldType(int field) const override { return table_.FieldType(field); }
  int FieldLength(int field) const override;
  int FieldDecimals(int field) const override;

  std::string_view FieldBytes(int field) const override { return table_.FieldRaw(field); }
  double FieldNumber(int field) const override { return table_.GetNumber(field); }
  std::int32_t FieldDayNumber(int field) const override;
  bool FieldLogical(int field) const override { return table_.GetLogical(field); }
  std::string FieldMemo(int field) const override { return table_.GetMemo(field); }

  std::int64_t RecNo() const override { return table_.recno(); }
  bool IsDeleted() const override { return table_.IsDeleted(); }
  bool IsBof() const override { return table_.read_before_first(); }
  bool IsEof() const override { return table_.read_past_last(); }

 private:
  TDbfFields& table_;
};

}  // namespace fidora
