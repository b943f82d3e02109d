// How the expression language and the index files see a table handler: the field values of
// its record buffer (or, while a written record is processed, of its before-image), and what
// an index needs from its table. Both are views the handler owns.
#pragma once

#include <memory>
#include <string>

#include "engine/expr/exp_user_link.h"
#include "engine/expr/table_access.h"
#include "engine/expr/xvariant.h"
#include "engine/index/index_table.h"

namespace fidora {

class TTableHandler;

class TTableFieldAccess : public TxTableAccess {
 public:
  explicit TTableFieldAccess(TTableHandler& table) : table_(table) {}
  std::string FilePath() const override;
  int FieldCount() const override;
  std::string FieldName(int field) const override;
  char FieldType(int field) const override;
  int FieldLength(int field) const override;
  int FieldDecimals(int field) const override;
  std::string_view FieldBytes(int field) const override;
  double FieldNumber(int field) const override;
  std::int32_t FieldDayNumber(int field) const override;
  bool FieldLogical(int field) const override;
  std::string FieldMemo(int field) const override;
  std::int64_t RecNo() const override;
  bool IsDeleted() const override;
  bool IsBof() const override;
  bool IsEof() const override;

 private:
  TTableHandler& table_;
};

class TTableIndexView : public TIndexTable {
 public:
  explicit TTableIndexView(TTableHandler& table) : table_(table) {}
  std::unique_ptr<TIndexExpression> Compile(const std::string& text) override;
  bool FieldSize(const std::string& name, uint16_t* length, uint16_t* decimals) override;
  uint32_t RecordCount() override;
  uint32_t CurrentRecord() override;
  bool HasBeforeImage() override;
  bool RecordModified() override;
  void BuildFirst() override;
  void BuildNext() override;
  bool BuildAtEnd() override;
  size_t BuildMemory() override;
  std::unique_ptr<TScratchFile> OpenScratchFile() override;
  bool ExactSeek() override;
  void Status(int stat1, int stat2, int stat3) override;

 private:
  TTableHandler& table_;
  bool build_end_ = true;
};

// A TxVariant result as the index sees it.
IndexKeyValue ToIndexKey(const TxVariant& value);

}  // namespace fidora
