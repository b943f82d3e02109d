// STOCK LOOK: how much of one product every store of the group holds, in selling units. Each
// store of the store list has its own product table "plu__<store>" (order PSTCD<store>) and
// stock table "stock<first two characters of store>_" (order STCOD<same>_) in the data
// directory. Errors are not answered: they leave the handler (its tables and name lock
// released) for the application's error handler, and the terminal gets no reply.
#include <fmt/format.h>

#include <optional>

#include "protocol/field_helpers.h"
#include "shopper/column_money.h"
#include "shopper/shopper_module.h"
#include "tables/handler_frame.h"

namespace fidora {

namespace {

// Points the dataset at a store's table and its one index file, in that index's order.
void UseStoreTable(TXbDataSet& dataset, const std::string& table, const std::string& order) {
  dataset.Close();
  dataset.SetTableName(table);
  dataset.SetIndexFiles({order + ".ntx"});
  dataset.SetIndexName(order);
}

// dividend ÷ divisor exactly, rounded once to four decimals (halves to even). Scaling the
// dividend by 10 000 makes the quotient of the two unit counts a count of ten-thousandths.
TMoney Divide(TMoney dividend, TMoney divisor) {
  return TMoney::AddQuotient(TMoney(), dividend * TMoney::kUnitsPerWhole, divisor.Units());
}

// The stock of the current product in selling units: TotalStock ÷ qtypersale, or TotalStock
// when qtypersale is 0.
TMoney SellingUnits(TXbDataSet& products, TXbDataSet& stock) {
  const TMoney total = ColumnMoney(stock, "TotalStock");
  const TMoney per_sale = ColumnMoney(products, "qtypersale");
  return per_sale == TMoney() ? total : Divide(total, per_sale);
}

// The store's stock of the product; nothing when either of its tables lacks the product.
std::optional<TMoney> StoreStock(TSDM& module, const std::string& store, const std::string& code) {
  TXbDataSet& products = module.tPlu;
  TXbDataSet& stock = module.tStock;
  const std::string prefix = store.substr(0, 2);
  UseStoreTable(products, "plu__" + store, "PSTCD" + store);
  UseStoreTable(stock, "stock" + prefix + "_", "STCOD" + prefix + "_");
  products.Open();
  stock.Open();
  std::optional<TMoney> units;
  if (products.Find(code, true, false) && stock.Find(UpperCase(code), true, false))
    units = SellingUnits(products, stock);
  products.Close();
  stock.Close();
  return units;
}

}  // namespace

void TSDM::STOCK_Look(TRxTx& rx) {
  const std::string code = rx.Parser().Field(3);
  THandlerFrame frame{"TSDM", "STOCK_Look", TableNames({&tStorList}), {&tStorList, &tPlu, &tStock}};
  frame.reply_errors = false;
  RunInFrame(rx, frame, [&] {
    AddReply(rx, "DATA");
    tStorList.Open();
    TXbField& store = tStorList.FieldByName("storenum");
    TXbField& store_id = tStorList.FieldByName("STORE_ID");
    for (tStorList.First(); !tStorList.Eof(); tStorList.Next()) {
      if (const std::optional<TMoney> units = StoreStock(*this, store.AsString(), code))
        AddReply(rx, fmt::format("{}\xA6{}\xA6{}", store.AsString(), store_id.AsString(),
                                 units->TwoDecimals()));
    }
    tStorList.Close();
    AddReply(rx,
             "\xA6"
             "DATA");
    ReplyOK(rx);
  });
}

}  // namespace fidora
