#include "shopper/shopper_lookups.h"

#include "engine/table/xb_dataset.h"
#include "protocol/field_helpers.h"

namespace fidora {

namespace {
constexpr int kShopperNumberWidth = 16;  // ACCOUNTNUM C 16
}  // namespace

std::string ShopperKey(std::string_view number) {
  return PadRight(number, kShopperNumberWidth, ' ');
}

std::string StoredShopperKey(std::string_view number) {
  return ShopperKey(UpperCase(number.substr(0, kShopperNumberWidth)));
}

bool LocateByColumn(TXbDataSet& dataset, const std::string& column, std::string_view value) {
  const std::string wanted = UpperCase(Trim(value));
  TXbField& field = dataset.FieldByName(column);
  for (dataset.First(); !dataset.Eof(); dataset.Next())
    if (UpperCase(Trim(field.AsString())) == wanted) return true;
  return false;
}

}  // namespace fidora
