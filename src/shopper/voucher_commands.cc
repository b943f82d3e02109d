// VOUCHER ADD and UNUSED: gift vouchers sold, topped up, taken off and asked for, and the list
// of vouchers that still have a value. Errors of these handlers are not answered: they leave
// the handler (its table and name lock released) for the application's error handler, and the
// terminal gets no reply.
#include <fmt/printf.h>

#include <optional>

#include "engine/dbf/dbf_date.h"
#include "engine/table/field_value.h"
#include "protocol/convert_error.h"
#include "shopper/regional_date.h"
#include "shopper/shopper_module.h"
#include "tables/handler_frame.h"
#include "tables/record_lock.h"

namespace fidora {

namespace {

double RequestAmount(const std::string& text) {
  const std::optional<double> amount = TextToFloat(text);
  if (!amount) throw EConvertError("'" + text + "' is not a valid floating point value");
  return *amount;
}

}  // namespace

void TSDM::VOUCHER_Add(TRxTx& rx) {
  const std::string number = rx.Parser().Field(3);
  const std::string amount_text = rx.Parser().Field(4);
  THandlerFrame frame{"TSDM", "VOUCHER_Add", TableNames({&tVouchers}), {&tVouchers}};
  frame.reply_errors = false;
  RunInFrame(rx, frame, [&] {
    tVouchers.Open();
    TXbField& amount = tVouchers.FieldByName("amount");
    const bool found = tVouchers.Locate("number", {TFieldValue(number)});
    if (!amount_text.empty()) {
      const double added = RequestAmount(amount_text);
      if (found) {
        RetryRecordLock(tVouchers);
        tVouchers.Edit();
        amount.SetAsFloat(amount.AsFloat() + added);
      } else {
        tVouchers.Append();
        tVouchers.FieldByName("selldate").SetAsDate(TxDBFDate::Instance().Today());
        tVouchers.FieldByName("number").SetAsString(number);
        amount.SetAsFloat(added);
      }
      tVouchers.Post();
    }
    // The balance of the found, changed or new voucher; none for an unknown one.
    AddReply(rx, "BALANCE\xA6" + (found || !amount_text.empty() ? amount.Value().AsText() : ""));
    tVouchers.Unlock();
    tVouchers.Close();
    ReplyOK(rx);
  });
}

void TSDM::VOUCHER_Unused(TRxTx& rx) {
  THandlerFrame frame{"TSDM", "VOUCHER_Unused", TableNames({&tVouchers}), {&tVouchers}};
  frame.reply_errors = false;
  RunInFrame(rx, frame, [&] {
    AddReply(rx, "DATA");
    tVouchers.SetFilter("amount <> 0");
    tVouchers.SetFiltered(true);
    tVouchers.Open();
    TXbField& sold = tVouchers.FieldByName("selldate");
    TXbField& number = tVouchers.FieldByName("number");
    TXbField& amount = tVouchers.FieldByName("amount");
    for (tVouchers.First(); !tVouchers.Eof(); tVouchers.Next())
      AddReply(rx, fmt::sprintf("%s\xA6%s\xA6%8.2f", RegionalDateText(sold.AsDate()),
                                number.AsString(), amount.AsFloat()));
    tVouchers.Close();
    tVouchers.SetFiltered(false);
    AddReply(rx,
             "\xA6"
             "DATA");
    ReplyOK(rx);
  });
}

}  // namespace fidora
