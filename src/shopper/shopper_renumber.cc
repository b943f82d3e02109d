// SHOPPER EDIT_NUMBER: a shopper moves to a new number, and with it every sale, lay-by and
// purchase-log row that carries the old one; the change log records the move. There is no
// rollback: a renumbering that stops part-way leaves what it wrote, and the status log says
// where it stopped so that the operator can finish it by hand.
#include <fmt/format.h>

#include <cstdint>
#include <iterator>
#include <span>
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

// One related table of a shopper and the column that carries the shopper's number.
struct TReference {
  TXbDataSet* dataset;
  const char* column;
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
// `number` is as the table stores it (code page and all).
std::string ReferenceFilter(const std::string& column, const std::string& number) {
  return "ALLTRIM(" + column + ") = " + TextLiteral(number);
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
    const std::string trimmed = Trim(number);
    dataset.SetFilter(
        ReferenceFilter(column, dataset.TranslateASCII() ? AnsiToOem(trimmed) : trimmed));
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
// disturb the search; every index file of the dataset follows. `record` is the record being
// changed (0 while the rows are being found), for the report of a renumbering that stops.
void RenumberReferences(const TReference& reference, const std::string& old_number,
                        const std::string& new_number, uint32_t& record) {
  TXbDataSet& dataset = *reference.dataset;
  record = 0;
  const std::vector<uint32_t> records = CollectReferences(dataset, reference.column, old_number);
  TXbField& field = dataset.FieldByName(reference.column);
  for (const uint32_t next : records) {
    record = next;
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
// it stopped and what is left to do, so that the operator can finish it by hand. `left` are
// the related tables from the one it stopped at on (none when the change log failed),
// `record` the record it stopped at (0: before any row of that table changed).
void LogStoppedRenumbering(const std::string& old_number, const std::string& new_number,
                           std::span<const TReference> left, uint32_t record,
                           const std::string& change_log, const std::string& reason) noexcept {
  try {
    std::string line =
        fmt::format("TSDM.{} - renumbering {} to {} stopped at ", kName, old_number, new_number);
    if (left.empty()) {
      line +=
          fmt::format("{} ({}); the shopper and its rows carry {}", change_log, reason, new_number);
    } else {
      if (record > 0) line += fmt::format("record {} of ", record);
      line += fmt::format("{} ({}); the shopper carries {}, rows still carrying {} may be in ",
                          left.front().dataset->TableName(), reason, new_number, old_number);
      for (size_t i = 0; i < left.size(); ++i)
        line += (i == 0 ? "" : ", ") + left[i].dataset->TableName();
    }
    StatusLog(line + fmt::format("; no row was written to {}", change_log));
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
               const TReference references[] = {
                   {&tPosHead, "CUSTOMER"}, {&tLaybyHead, "CUSTOMER"}, {&tTrackLog, "ACCOUNTNUM"}};
               size_t step = 0;
               uint32_t record = 0;
               try {
                 for (; step < std::size(references); ++step)
                   RenumberReferences(references[step], old_number, new_number, record);
                 WriteChangeLog(tTrackerChangeLog, old_number, new_number, clerk);
               } catch (const std::exception& error) {
                 LogStoppedRenumbering(old_number, new_number, std::span(references).subspan(step),
                                       record, tTrackerChangeLog.TableName(), error.what());
                 throw;
               }
               tTracker.Close();
               ReplyOK(rx);
             });
}

}  // namespace fidora
