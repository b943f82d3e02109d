#include "engine/expr/dbf_table_access.h"

namespace fidora {

int TxDbfTableAccess::FieldLength(int field) const {
  return static_cast<int>(table_.FieldLength(field));
}

int TxDbfTableAccess::FieldDecimals(int field) const {
  return static_cast<int>(table_.FieldDecimals(field));
}

std::int32_t TxDbfTableAccess::FieldDayNumber(int field) const {
  return static_cast<std::int32_t>(table_.GetDate(field));
}

}  // namespace fidora
