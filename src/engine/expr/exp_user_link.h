// TxExpUserLink: a table's own registry, made when the table is opened. It holds one variable
// per field (under the field's name and under alias + "." + name) and the table functions RECNO,
// DELETED, BOF, EOF, TYPE and FIELDNO. The table (TxTableAccess) must outlive the link and every
// expression compiled against it.
#pragma once

#include <memory>
#include <string>

#include "engine/dbf/file_io.h"
#include "engine/expr/exp_registry.h"
#include "engine/expr/table_access.h"

namespace fidora {

// A table field as a variable: evaluates to the field's value in the current record buffer.
class TxlDBFFieldVars final : public TxUserDefFieldVar {
 public:
  TxlDBFFieldVars(const TxTableAccess& table, int field, std::string names);
  int Kind() const override { return kTableField; }
  int Field() const { return field_; }
  TxExpValue Evaluate() const override;

 private:
  const TxTableAccess& table_;
  int field_;
  char type_;
};

class TxExpUserLink {
 public:
  // io is the table's seam (DATE() reads its clock); it must outlive the link.
  TxExpUserLink(const TxTableAccess& table, const std::string& alias, FileIo& io = SystemFileIo());
  TxExpUserLink(const TxExpUserLink&) = delete;
  TxExpUserLink& operator=(const TxExpUserLink&) = delete;

  const TxTableAccess& Table() const { return table_; }
  FileIo& Io() const { return io_; }

  // Variables are looked up by the whole name, then by its first 10 characters (the longest
  // field name), so ACCOUNTNUMBER finds ACCOUNTNUM. `upperName` is upper-cased.
  std::shared_ptr<const TxUserDefFieldVar> FindVariable(const std::string& upperName) const;
  std::shared_ptr<const TxUserDefFunction> FindFunction(const std::string& upperName) const;

  // Number of the field so named (case-insensitive, trailing blanks ignored); 0 when none.
  int FieldNumber(const std::string& name) const;

  // The width STR uses without a width argument: 10, or, once an index key or FOR expression
  // has been compiled for the table, the declared width of STR's first argument.
  bool StrWidthFromNode() const { return strWidthFromNode_; }
  void SetStrWidthFromNode(bool on) { strWidthFromNode_ = on; }
  int StrDefaultWidth() const { return strDefaultWidth_; }

 private:
  const TxTableAccess& table_;
  FileIo& io_;
  TxFieldVarReg variables_;
  TxFunctionReg functions_;
  bool strWidthFromNode_ = false;
  int strDefaultWidth_ = 10;
};

}  // namespace fidora
