#include "shopper/column_money.h"

#include "engine/table/xb_dataset.h"

namespace fidora {

TMoney ColumnMoney(TXbDataSet& table, const std::string& column) {
  return TMoney::FromDouble(table.FieldByName(column).AsFloat());
}

void SetColumnMoney(TXbDataSet& table, const std::string& column, TMoney value) {
  table.FieldByName(column).SetAsFloat(value.ToDouble());
}

}  // namespace fidora
