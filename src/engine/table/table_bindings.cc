#include "engine/table/table_bindings.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "engine/expr/exp_field_key.h"
#include "engine/table/table_handler.h"

namespace fidora {

// ---- field values for expressions ----

std::string TTableFieldAccess::FilePath() const {
  return table_.path();
}
int TTableFieldAccess::FieldCount() const {
  return table_.FieldCount();
}
std::string TTableFieldAccess::FieldName(int field) const {
  return table_.FieldName(field);
}
char TTableFieldAccess::FieldType(int field) const {
  return table_.FieldType(field);
}
int TTableFieldAccess::FieldLength(int field) const {
  return static_cast<int>(table_.FieldLength(field));
}
int TTableFieldAccess::FieldDecimals(int field) const {
  return static_cast<int>(table_.FieldDecimals(field));
}
std::string_view TTableFieldAccess::FieldBytes(int field) const {
  return table_.FieldRaw(field);
}
double TTableFieldAccess::FieldNumber(int field) const {
  return table_.GetNumber(field);
}
std::int32_t TTableFieldAccess::FieldDayNumber(int field) const {
  return static_cast<std::int32_t>(table_.GetDate(field));
}
bool TTableFieldAccess::FieldLogical(int field) const {
  return table_.GetLogical(field);
}
std::string TTableFieldAccess::FieldMemo(int field) const {
  return table_.GetMemo(field);
}
std::int64_t TTableFieldAccess::RecNo() const {
  return table_.recno();
}
bool TTableFieldAccess::IsDeleted() const {
  return table_.TDbfFile::IsDeleted();
}
bool TTableFieldAccess::IsBof() const {
  return table_.Bof();
}
bool TTableFieldAccess::IsEof() const {
  return table_.Eof();
}

// ---- the index's view ----

IndexKeyValue ToIndexKey(const TxVariant& value) {
  switch (value.kind()) {
    case TxVariant::Kind::Number:
      return IndexKeyValue::Number(value.AsNumber());
    case TxVariant::Kind::DayNumber:
      return IndexKeyValue::Date(value.AsDayNumber());
    case TxVariant::Kind::Logical:
      return IndexKeyValue::Logical(value.AsLogical());
    case TxVariant::Kind::Text:
    case TxVariant::Kind::Raw:
      return IndexKeyValue::Text(value.bytes());
    case TxVariant::Kind::None:
      break;
  }
  return IndexKeyValue::Text(std::string());
}

namespace {

class TTableExpression : public TIndexExpression {
 public:
  TTableExpression(TTableHandler& table, const std::string& text)
      : table_(table),
        handler_(&table.Link(), table.table_name(), text),
        field_key_(TxFieldKey::Recognise(handler_)) {}

  IndexKeyValue Evaluate(bool before_image) override {
    if (before_image && table_.before_recno() == table_.recno())
      return table_.WithBeforeImage([this] { return Value(); });
    return Value();
  }

  bool EvaluateText(std::string& text) override {
    if (!field_key_) return false;
    field_key_->Evaluate(text);
    return true;
  }

 private:
  // A key made of fields is put together without the tree: the same text, sooner.
  IndexKeyValue Value() {
    if (field_key_) {
      IndexKeyValue key = IndexKeyValue::Text({});
      field_key_->Evaluate(key.text);
      return key;
    }
    TxVariant v;
    handler_.EvaluateInto(v);
    return ToIndexKey(v);
  }
  TTableHandler& table_;
  TxExpHandler handler_;
  std::optional<TxFieldKey> field_key_;  // refers to handler_'s tree
};

}  // namespace

std::unique_ptr<TIndexExpression> TTableIndexView::Compile(const std::string& text) {
  table_.Link().SetStrWidthFromNode(true);
  return std::make_unique<TTableExpression>(table_, text);
}

bool TTableIndexView::FieldSize(const std::string& name, uint16_t* length, uint16_t* decimals) {
  const int n = table_.FieldIndex(name);
  if (n == 0) return false;
  *length = static_cast<uint16_t>(table_.FieldLength(n));
  *decimals = static_cast<uint16_t>(table_.FieldDecimals(n));
  return true;
}

uint32_t TTableIndexView::RecordCount() {
  return table_.record_count();
}

uint32_t TTableIndexView::CurrentRecord() {
  if (!build_end_ || table_.state() == TTableHandler::State::kBuilding || table_.in_write_notice())
    return table_.recno();
  return table_.Eof() ? 0 : table_.recno();
}

bool TTableIndexView::HasBeforeImage() {
  return table_.in_write_notice();
}

bool TTableIndexView::RecordModified() {
  for (int n = 0; n <= table_.FieldCount(); ++n)
    if (table_.modified(static_cast<size_t>(n))) return true;
  return std::memcmp(table_.record_buffer(), table_.before_image(), table_.record_length()) != 0;
}

void TTableIndexView::BuildFirst() {
  build_end_ = !table_.TDbfFile::ReadRecord(kRecFirst);
}
void TTableIndexView::BuildNext() {
  build_end_ = !table_.TDbfFile::ReadRecord(kRecNext);
}
bool TTableIndexView::BuildAtEnd() {
  return build_end_;
}
size_t TTableIndexView::BuildMemory() {
  return table_.build_memory();
}
std::unique_ptr<TScratchFile> TTableIndexView::OpenScratchFile() {
  const std::string& path = table_.path();
  return std::make_unique<TScratchFile>(table_.io(), path.substr(0, path.rfind('/') + 1),
                                        table_.table_name() + ".sort");
}
bool TTableIndexView::ExactSeek() {
  return table_.exact();
}
void TTableIndexView::Status(int stat1, int stat2, int stat3) {
  table_.StatusNotice(stat1, stat2, stat3);
}

}  // namespace fidora
