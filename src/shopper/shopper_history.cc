// SHOPPER HISTORY: the purchase-log rows of a shopper's newest dockets, oldest first. A docket
// is a run of neighbouring rows in the order TRAKHIST (by shopper, then sale date) with the
// same DOCKET value.
#include "protocol/field_helpers.h"
#include "shopper/shopper_module.h"
#include "tables/handler_frame.h"
#include "tables/record_text.h"

namespace fidora {

namespace {

// The handler answers under SEQ's name, as the terminals know its error lines.
constexpr std::string_view kErrorName = "SHOPPER_Seq";
constexpr int32_t kAllDockets = 65535;  // a count of 0

// The walk over one shopper's rows of the purchase log, in the order TRAKHIST.
class TDocketWalk {
 public:
  TDocketWalk(TXbDataSet& log, std::string number)
      : log_(log),
        number_(std::move(number)),
        account_(log.FieldByName("ACCOUNTNUM")),
        docket_(log.FieldByName("DOCKET")) {}

  // Leaves the log on the oldest row of the newest `count` dockets; false when the shopper
  // has no rows.
  bool FindOldestWanted(int32_t count) {
    log_.Find(number_, false, true);
    if (log_.RecNo() == 0 || !Matches()) return false;
    GoToNewestRow();
    StepBackOverDockets(count);
    if (!log_.Bof()) log_.Next();
    return true;
  }

  // From the current row on, every row of the shopper.
  template <class AddRow>
  void EachRow(AddRow add_row) {
    for (; Matches() && !log_.Eof(); log_.Next()) add_row();
  }

 private:
  bool Matches() { return UpperCase(Trim(account_.AsString())) == UpperCase(number_); }

  // The first key past the shopper's rows, then back to the shopper's last row.
  void GoToNewestRow() {
    log_.Find(number_ + "A", false, true);
    while (!Matches() && !log_.Bof()) log_.Prior();
  }

  // Moves back over `count` dockets (a negative count never runs out); stops before the row
  // that begins the next older docket, or at the beginning of the order.
  void StepBackOverDockets(int32_t count) {
    int32_t remaining = count;
    std::string docket = docket_.AsString();
    while (!log_.Bof() && Matches()) {
      --remaining;
      while (Matches() && docket_.AsString() == docket) {
        log_.Prior();
        if (log_.Bof()) break;
      }
      if (remaining == 0) break;
      docket = docket_.AsString();
    }
  }

  TXbDataSet& log_;
  std::string number_;
  TXbField& account_;
  TXbField& docket_;
};

}  // namespace

void TSDM::SHOPPER_History(TRxTx& rx) {
  const TAwkParser& fields = rx.Parser();
  if (fields.FieldCount() != 4) {
    AddReply(rx, HandlerErrorLine("TSDM", kErrorName, "Syntax Error - " + fields.Field(0)));
    return;
  }
  const std::string number = fields.Field(3).substr(0, 16);
  RunInFrame(rx, {"TSDM", kErrorName, TableNames({&tTrackLog}), {&tTrackLog}}, [&] {
    try {
      int32_t count = StrToInt(fields.Field(4));
      if (count == 0) count = kAllDockets;
      tTrackLog.SetIndexName("TRAKHIST");
      tTrackLog.Open();
      AddReply(rx, "SHOPPER\xA6HISTORY\xA6" + number);
      AddReply(rx, "DATA");
      const TFieldHeader header = BuildFieldHeader(tTrackLog, "");
      AddReply(rx, header.line);
      TDocketWalk walk(tTrackLog, number);
      if (walk.FindOldestWanted(count))
        walk.EachRow([&] { AddReply(rx, FormatRecordLine(tTrackLog, header.columns)); });
    } catch (...) {
      AddReply(rx,
               "\xA6"
               "DATA");
      throw;
    }
    AddReply(rx,
             "\xA6"
             "DATA");
    tTrackLog.Close();
    ReplyOK(rx);
  });
}

}  // namespace fidora
