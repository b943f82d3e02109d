// SHOPPER APPEND and EDIT: a shopper created or changed from the NAME=value lines of the
// request. A change of the points (TTL_PU_AMT) or the dollars (DOLLAVAIL) is first written
// to the purchase log as an adjustment row, before the column changes and before the shopper
// is posted, so that no change of a balance goes unrecorded.
#include "engine/dbf/dbf_date.h"
#include "engine/table/dataset_error.h"
#include "engine/table/field_value.h"
#include "protocol/field_helpers.h"
#include "shopper/shopper_module.h"
#include "tables/handler_frame.h"

namespace fidora {

namespace {

constexpr char kAccountName[] = "ACCOUNTNUM";

// A request line NAME=value: the text before the first "=" and the text after it, neither
// trimmed. A line without "=" has an empty name.
struct TFieldLine {
  std::string name;
  std::string value;
};

TFieldLine SplitFieldLine(const std::string& line) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return {};
  return {line.substr(0, equals), line.substr(equals + 1)};
}

bool IsAccountLine(const TFieldLine& line) {
  return UpperCase(line.name) == kAccountName;
}

// Writes the adjustment row of a field line that changes TTL_PU_AMT or DOLLAVAIL of the
// shopper's current record (in edit or insert state); other lines write nothing.
void LogBalanceEdit(TXbDataSet& shoppers, TXbDataSet& log, const TFieldLine& line,
                    const std::string& note, const std::string& number) {
  const std::string column = UpperCase(line.name);
  if (column != "TTL_PU_AMT" && column != "DOLLAVAIL") return;
  const TXbField& field = shoppers.FieldByName(column);
  const double before = field.AsFloat();
  const std::optional<double> after = TextToFloat(line.value);
  if (!after) throw EVariantError(ConversionMessage("String", field.TypeName()));
  if (*after == before) return;
  log.Open();
  log.Append();
  log.FieldByName("ACCOUNTNUM").SetAsString(number);
  log.FieldByName("PRODCODE").SetAsString(column == "TTL_PU_AMT" ? "ADD_POINT" : "ADD_DOLLAR");
  log.FieldByName("GROUP").SetAsInteger(99);
  log.FieldByName("SALEDATE").SetAsDate(TxDBFDate::Instance().Today());
  log.FieldByName("DESCRIPTIO")
      .SetAsString(note.empty() ? "Recvd - " + line.name + " " + line.value : note);
  log.FieldByName("AMOUNT").SetAsFloat(*after - before);
  log.FieldByName("QTY").SetAsInteger(1);
  log.Post();
  log.Close();
}

// Stores the field lines after the command line in the shopper's current record (in edit or
// insert state), each after its adjustment row. Names are matched to columns without regard
// to case, blanks counting. ACCOUNTNUM lines are skipped, except the one at `account_line`
// (-1 for none), which stores `number`: the number is given once and checked before it is
// stored.
void StoreFieldLines(TSDM& module, const TRxTx& rx, int account_line, const std::string& note,
                     const std::string& number) {
  const TRequestLines& lines = rx.Request();
  for (int i = 1; i < lines.Count(); ++i) {
    TFieldLine line = SplitFieldLine(lines[static_cast<size_t>(i)]);
    if (line.name.empty()) continue;
    if (IsAccountLine(line)) {
      if (i != account_line) continue;
      line.value = number;  // the number as checked (AUTO's assigned one)
    }
    TXbField* field = module.tTracker.FindField(line.name);
    if (field == nullptr) continue;
    LogBalanceEdit(module.tTracker, module.tTrackLog, line, note, number);
    field->SetAsString(line.value);
  }
}

// The reply line "STAT¦TSDM.<handler> - <message>" for an answer that is not an error.
std::string RefusalLine(std::string_view handler, std::string_view message) {
  return HandlerErrorLine("TSDM", handler, message);
}

}  // namespace

void TSDM::SHOPPER_Append(TRxTx& rx) {
  static constexpr std::string_view kName = "SHOPPER_Append";
  RunInFrame(
      rx, {"TSDM", kName, TableNames({&tTracker, &tTrackLog}), {&tTracker, &tTrackLog, &tMorvex}},
      [&] {
        const TRequestLines& lines = rx.Request();
        const int account_line = lines.IndexOfName(kAccountName);
        std::string number = lines.Value(kAccountName);
        const std::string note = rx.Parser().Field(3);
        tTracker.SetIndexName("TRAKNUM");
        tTracker.Open();
        AddReply(rx,
                 "SHOPPER\xA6"
                 "APPEND\xA6" +
                     number);
        if (IsBlank(number)) {
          AddReply(rx, RefusalLine(kName, "F/S number cannot be empty"));
          return;
        }
        if (number == "AUTO") {
          std::optional<std::string> assigned = NextAutoNumber();
          if (!assigned) {
            AddReply(rx, RefusalLine(kName, "F/S number could not be automatically generated"));
            return;
          }
          number = std::move(*assigned);
        }
        if (tTracker.Find(StoredShopperKey(number), true, false)) {
          AddReply(rx, RefusalLine(kName, "This F/S number (" + number + ") is already used"));
          return;
        }
        tTracker.Append();
        StoreFieldLines(*this, rx, account_line, note, number);
        tTracker.Post();
        AddReply(rx, "ACCOUNTNUM\xA6" + number);
        tTracker.Close();
        ReplyOK(rx);
      });
}

void TSDM::SHOPPER_Edit(TRxTx& rx) {
  static constexpr std::string_view kName = "SHOPPER_Edit";
  RunInFrame(rx, {"TSDM", kName, TableNames({&tTracker, &tTrackLog}), {&tTracker, &tTrackLog}},
             [&] {
               const std::string number = rx.Request().Value(kAccountName);
               const std::string note = rx.Parser().Field(3);
               tTracker.SetIndexName("TRAKNUM");
               tTracker.Open();
               AddReply(rx,
                        "SHOPPER\xA6"
                        "EDIT\xA6" +
                            number);
               if (!tTracker.Find(ShopperKey(number), true, false)) {
                 AddReply(rx, RefusalLine(kName, "This F/S number is not found"));
                 return;
               }
               tTracker.Edit();
               StoreFieldLines(*this, rx, -1, note, number);
               tTracker.Post();
               tTracker.Close();
               ReplyOK(rx);
             });
}

}  // namespace fidora
