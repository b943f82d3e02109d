// SHOPPER EDIT_NUMBER: a shopper moves to a new number, and with it every sale, lay-by and
// purchase-log row that carries the old one; the change log records the move. There is no
// rollback: a renumbering that stops part-way leaves what it wrote, and the status log says
// where it stopped so that the operator can finish it by hand.
#include <fmt/format.h>

#include <cstdint>
#include <vector>

#include "engine/dbf/dbf_date.h"
#include "engine/table/oem_ansi.h"
#include "protocol/field_helpers.h"
#include "protocol/status_log.h"
#include "shopper/shopper_module.h"
#include "tables/handler_frame.h"

namespace fidora {

namespace {

constexpr std::string_view kName = "SHOPPER_EditNumber";

// Where a renumbering is: the table being changed and the record being changed in it
// (0 while its rows are being found), or the change log being written.
struct TRenumberPlace {
  std::string table;
  uint32_t record = 0;
  bool change_log = false;
};

// An expression text literal that reads back as exactly `text`: between double quotes, or
// between single quotes or brackets when the text holds a double quote. A text holding all
// three closing characters is joined with "+" from double-quoted pieces and '"'.
std::string TextLiteral(std::string_view text) {
  const auto holds = [&](char c) { return text.find(c) != std::string_view::npos; };
  if (!holds('"')) return fmt::format("\"{}\"", text);
  if (!holds('\'')) return fmt::format("'{}'", text);
  if (!holds(']')) return fmt::format("[{}]", text);
  std::string joined;
  for (size_t start = 0; start <= text.size();) {
    const size_t quote = std::min(text.find('"', start), text.size());
    if (!joined.empty()) joined += '+';
    joined += fmt::format("\"{}\"", text.substr(start, quote - start));
    if (quote == text.size()) break;
    joined += "+'\"'";
    start = quote + 1;
  }
  return joined;
}

// The filter of the rows whose `column`, trimmed, is `number`, trimmed. The comparison is
// exact: wildcard patterns are off, so a "*" in a number is an ordinary character.
std::string ReferenceFilter(const std::string& column, const std::string& number) {
  return "ALLTRIM(" + column + ") = " + TextLiteral(AnsiToOem(Trim(number)));
}

void ClearFilter(TXbDataSet& dataset, TxFilterOptions options) {
  dataset.SetFiltered(false);
  dataset.SetFilter("");
  dataset.SetFilterOptions(options);
}

// Opens the dataset and returns, in its order, the record numbers of the rows whose trimmed
// `column` is the trimmed `number` (case-sensitive). The dataset stays open, its filter
// cleared.
std::vector<uint32_t> CollectReferences(TXbDataSet& dataset, const std::string& column,
                                        const std::string& number) {
  const TxFilterOptions options = dataset.FilterOptions();
  std::vector<uint32_t> records;
  try {
    dataset.SetFilterOptions({.case_insensitive = false, .no_partial_compare = true});
    dataset.SetFilter(ReferenceFilter(column, number));
    dataset.SetFiltered(true);
    dataset.Open();
    for (dataset.First(); !dataset.Eof(); dataset.Next()) records.push_back(dataset.RecNo());
  } catch (...) {
    ClearFilter(dataset, options);
    throw;
  }
  ClearFilter(dataset, options);
  return records;
}

// Replaces `old_number` by `new_number` in `column` of every row of the dataset that holds it.
// The rows are found first and changed afterwards, so that changing the column does not
// disturb the search; every index file of the dataset follows. `place` tells where it is.
void RenumberReferences(TXbDataSet& dataset, const std::string& column,
                        const std::string& old_number, const std::string& new_number,
                        TRenumberPlace& place) {
  place = {dataset.TableName(), 0};
  const std::vector<uint32_t> records = CollectReferences(dataset, column, old_number);
  TXbField& field = dataset.FieldByName(column);
  for (const uint32_t record : records) {
    place.record = record;
    dataset.SetRecNo(record);
    dataset.Edit();
    field.SetAsString(new_number);
    dataset.Post();
  }
  dataset.Close();
}

void WriteChangeLog(TXbDataSet& log, const std::string& old_number, const std::string& new_number,
                    const std::string& clerk) {
  log.Open();
  log.Append();
  log.FieldByName("OLD_NUMBER").SetAsString(old_number);
  log.FieldByName("NEW_NUMBER").SetAsString(new_number);
  log.FieldByName("CLERK").SetAsString(clerk);
  log.FieldByName("DATE").SetAsDate(TxDBFDate::Instance().Today());
  log.Post();
  log.Close();
}

// The status-log line of a renumbering that stopped after the shopper was renumbered: where
// it stopped, so that the operator can finish it by hand.
void LogStoppedRenumbering(const std::string& old_number, const std::string& new_number,
                           const TRenumberPlace& place, const std::string& reason) noexcept {
  try {
    std::string what;
    if (place.change_log)
      what = fmt::format("{} renumbered to {}, but no row was written to {}", old_number,
                         new_number, place.table);
    else if (place.record > 0)
      what = fmt::format(
          "renumbering {} to {} stopped at record {} of {}; the rows before it carry the new "
          "number",
          old_number, new_number, place.record, place.table);
    else
      what = fmt::format("renumbering {} to {} stopped at {} before any of its rows changed",
                         old_number, new_number, place.table);
    StatusLog(fmt::format("TSDM.{} - {}: {}", kName, what, reason));
  } catch (const std::exception&) {
    // The reply still tells the terminal; a log that cannot be written must not hide it.
  }
}

}  // namespace

void TSDM::SHOPPER_EditNumber(TRxTx& rx) {
  const TAwkParser& fields = rx.Parser();
  const std::string old_number = fields.Field(3), new_number = fields.Field(4),
                    clerk = fields.Field(5);
  RunInFrame(rx,
             {"TSDM",
              kName,
              TableNames({&tTracker, &tTrackLog, &tPosHead, &tLaybyHead, &tTrackerChangeLog}),
              {&tTracker, &tTrackLog, &tPosHead, &tLaybyHead, &tTrackerChangeLog}},
             [&] {
               tTracker.SetIndexName("TRAKNUM");
               tTracker.Open();
               // A blank number would join the shopper's history to the rows of no shopper.
               if (IsBlank(new_number)) {
                 AddReply(rx, HandlerErrorLine("TSDM", kName, "F/S number cannot be empty"));
                 return;
               }
               if (tTracker.Find(StoredShopperKey(new_number), true, false)) {
                 AddReply(rx,
                          HandlerErrorLine("TSDM", kName, "This new F/S number is already used"));
                 return;
               }
               if (IsBlank(old_number) || !tTracker.Find(ShopperKey(old_number), true, false)) {
                 AddReply(rx, HandlerErrorLine("TSDM", kName, "This F/S number is not found"));
                 return;
               }
               tTracker.Edit();
               tTracker.FieldByName("ACCOUNTNUM").SetAsString(new_number);
               tTracker.Post();
               TRenumberPlace place;
               try {
                 RenumberReferences(tPosHead, "CUSTOMER", old_number, new_number, place);
                 RenumberReferences(tLaybyHead, "CUSTOMER", old_number, new_number, place);
                 RenumberReferences(tTrackLog, "ACCOUNTNUM", old_number, new_number, place);
                 place = {tTrackerChangeLog.TableName(), 0, true};
                 WriteChangeLog(tTrackerChangeLog, old_number, new_number, clerk);
               } catch (const std::exception& error) {
                 LogStoppedRenumbering(old_number, new_number, place, error.what());
                 throw;
               }
               tTracker.Close();
               ReplyOK(rx);
             });
}

}  // namespace fidora
