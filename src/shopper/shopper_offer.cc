// SHOPPER OFFER: the offer counter OFFRITEM of one shopper changed by an amount (SINGLE), or
// of every shopper set back to zero (RESET) or scaled by a ratio (ADJUST).
#include <fmt/format.h>

#include <cmath>
#include <functional>

#include "engine/table/field_value.h"
#include "protocol/convert_error.h"
#include "protocol/field_helpers.h"
#include "protocol/status_log.h"
#include "shopper/shopper_module.h"
#include "tables/handler_frame.h"

namespace fidora {

namespace {

constexpr std::string_view kName = "SHOPPER_Offer";
constexpr char kCounter[] = "OFFRITEM";

double StrToFloat(const std::string& text) {
  const std::optional<double> value = TextToFloat(text);
  if (!value) throw EConvertError(fmt::format("'{}' is not a valid floating point value", text));
  return *value;
}

// The status-log line of a RESET or ADJUST that stopped at a record: the shoppers before it
// keep their new counters.
void LogStoppedPass(std::string_view operation, TXbDataSet& shoppers, const std::string& reason) {
  try {
    StatusLog(fmt::format("TSDM.{} - {} stopped at record {} of {} (shopper {}): {}", kName,
                          operation, shoppers.RecNo(), shoppers.TableName(),
                          Trim(shoppers.FieldByName("ACCOUNTNUM").AsString()), reason));
  } catch (const std::exception&) {
    // The reply still tells the terminal; a log that cannot be written must not hide it.
  }
}

// Edits every shopper in the current order: counter := new_value(counter).
void ChangeEveryCounter(TXbDataSet& shoppers, std::string_view operation,
                        const std::function<double(double)>& new_value) {
  TXbField& counter = shoppers.FieldByName(kCounter);
  for (shoppers.First(); !shoppers.Eof(); shoppers.Next()) {
    try {
      shoppers.Edit();
      counter.SetAsFloat(new_value(counter.AsFloat()));
      shoppers.Post();
    } catch (const std::exception& error) {
      LogStoppedPass(operation, shoppers, error.what());
      throw;
    }
  }
}

}  // namespace

void TSDM::SHOPPER_Offer(TRxTx& rx) {
  std::string line = CurrentLine(rx);
  NextFieldU(line);  // SHOPPER
  NextFieldU(line);  // OFFER
  const std::string operation = NextFieldU(line);
  if (operation != "SINGLE" && operation != "RESET" && operation != "ADJUST") {
    ReplyUnknownCommand(rx, operation);
    return;
  }
  RunInFrame(rx, {"TSDM", kName, TableNames({&tTracker}), {&tTracker}}, [&] {
    tTracker.Open();
    if (operation == "SINGLE") {
      const std::string number = NextFieldU(line);
      if (!LocateShopper(number)) {
        tTracker.Close();
        AddReply(rx, HandlerErrorLine("TSDM", kName, "NOT FOUND Shopper:" + number));
        return;
      }
      const int32_t delta = StrToInt(NextFieldU(line));
      tTracker.Edit();
      TXbField& counter = tTracker.FieldByName(kCounter);
      counter.SetAsInteger(counter.AsInteger() + delta);
      tTracker.Post();
    } else if (operation == "RESET") {
      ChangeEveryCounter(tTracker, operation, [](double) { return 0.0; });
    } else {
      const double ratio = StrToFloat(NextFieldU(line));
      // Halves go to the even neighbour: the default rounding of nearbyint.
      ChangeEveryCounter(tTracker, operation,
                         [ratio](double count) { return std::nearbyint(count * ratio); });
    }
    tTracker.Close();
    ReplyOK(rx);
  });
}

}  // namespace fidora
