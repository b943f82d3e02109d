// DEBTOR DBALANCE: an account customer's balance moved by a sale on account or a payment; the
// sale or payment is recorded as the debtor's last one.
#include <optional>

#include "engine/table/field_value.h"
#include "protocol/convert_error.h"
#include "protocol/field_helpers.h"
#include "shopper/column_money.h"
#include "shopper/shopper_module.h"
#include "tables/data_module.h"
#include "tables/handler_frame.h"

namespace fidora {

namespace {

constexpr std::string_view kName = "DEBTOR_DBalance";

int64_t RequestDate(const std::string& text) {
  const std::optional<TDayNumber> date = TextToDate(text);
  if (!date) throw EConvertError("'" + text + "' is not a valid date");
  return date->day;
}

// SELL¦amount¦date or PAY¦amount¦date after the delta: the last sale or payment (edit state).
void RecordMovement(TXbDataSet& debtors, const TAwkParser& fields) {
  const std::string kind = fields.Field(5);
  std::string amount_column, date_column;
  if (kind == "SELL") {
    amount_column = "LST_PU_AMT";
    date_column = "LST_PU_DTE";
  } else if (kind == "PAY") {
    amount_column = "LST_PY_AMT";
    date_column = "LST_PY_DTE";
  } else {
    return;
  }
  SetColumnMoney(debtors, amount_column, TMoney::Parse(fields.Field(6)));
  debtors.FieldByName(date_column).SetAsDate(RequestDate(fields.Field(7)));
}

}  // namespace

void TSDM::DEBTOR_DBalance(TRxTx& rx) {
  const TAwkParser& fields = rx.Parser();
  if (fields.FieldCount() < 4) {
    AddReply(rx, HandlerErrorLine("TSDM", kName, "Syntax Error - No Shopper ID or Balance delta"));
    return;
  }
  RunInFrame(rx, {"TSDM", kName, TableNames({&tDebtors}), {&tDebtors}}, [&] {
    const std::string number = fields.Field(3);
    const TMoney delta = TMoney::Parse(fields.Field(4));
    tDebtors.SetIndexName("ACCTNUM");
    tDebtors.Open();
    if (!tDebtors.Find(number, true, false)) {
      AddReply(rx, HandlerErrorLine("TSDM", kName, "Shopper not found - " + number));
      tDebtors.Close();
      ReplyOK(rx);
      return;
    }
    Data().RLock(tDebtors);
    tDebtors.Edit();
    const TMoney balance = ColumnMoney(tDebtors, "CURRENTBAL") + delta;
    SetColumnMoney(tDebtors, "CURRENTBAL", balance);
    RecordMovement(tDebtors, fields);
    tDebtors.Post();
    AddReply(rx, "CURBALANCE\xA6" + FormatMoney(balance, false));
    tDebtors.Unlock();
    tDebtors.Close();
    ReplyOK(rx);
  });
}

}  // namespace fidora
