// SHOPPER READ, READEX, SUMMARY and SEQ: shoppers listed, one shopper shown, the next
// purchase number handed out.
#include "protocol/field_helpers.h"
#include "shopper/shopper_module.h"
#include "tables/data_module.h"
#include "tables/handler_frame.h"
#include "tables/record_text.h"

namespace fidora {

namespace {

constexpr char kDataEnd[] =
    "\xA6"
    "DATA";

// The shopper's record as a data block: "DATA", the header of every column, the rows, "¦DATA".
template <class EachRow>
void AddShopperBlock(TRxTx& rx, TXbDataSet& shoppers, EachRow each_row) {
  AddReply(rx, "DATA");
  const TFieldHeader header = BuildFieldHeader(shoppers, "");
  AddReply(rx, header.line);
  each_row([&] { AddReply(rx, FormatRecordLine(shoppers, header.columns)); });
  AddReply(rx, kDataEnd);
}

// TITLE, FIRSTNAME and SURNAME, trimmed, with one blank between the parts that are there.
std::string ShopperName(TXbDataSet& shoppers) {
  std::string name = Trim(shoppers.FieldByName("TITLE").AsString());
  if (!IsBlank(name)) name += ' ';
  name += Trim(shoppers.FieldByName("FIRSTNAME").AsString());
  if (!IsBlank(name) && name.back() != ' ') name += ' ';
  name += Trim(shoppers.FieldByName("SURNAME").AsString());
  return name;
}

}  // namespace

void TSDM::SHOPPER_Read(TRxTx& rx) {
  RunInFrame(rx, {"TSDM", "SHOPPER_Read", TableNames({&tTracker}), {&tTracker}}, [&] {
    const std::string filter = rx.Request().Value("FILTER");
    if (IsBlank(filter)) {
      tTracker.SetFiltered(false);
    } else {
      tTracker.SetFilter(filter);
      tTracker.SetFiltered(true);
    }
    tTracker.Open();
    AddReply(rx, "SHOPPER\xA6READ");
    AddShopperBlock(rx, tTracker, [&](auto add_row) {
      for (tTracker.First(); !tTracker.Eof(); tTracker.Next()) add_row();
    });
    tTracker.Close();
    tTracker.SetFiltered(false);
    ReplyOK(rx);
  });
}

void TSDM::SHOPPER_ReadEx(TRxTx& rx) {
  std::string line = CurrentLine(rx);
  NextFieldU(line);  // SHOPPER
  NextFieldU(line);  // READEX
  const std::string number = NextFieldU(line);
  RunInFrame(rx, {"TSDM", "SHOPPER_ReadEx", TableNames({&tTracker}), {&tTracker}}, [&] {
    tTracker.Open();
    if (!LocateShopper(number)) {
      tTracker.Close();
      AddReply(rx, HandlerErrorLine("TSDM", "SHOPPER_ReadEx", "NOT FOUND Shopper:" + number));
      return;
    }
    AddReply(rx,
             "SHOPPER\xA6"
             "DETAIL\xA6" +
                 number);
    AddShopperBlock(rx, tTracker, [](auto add_row) { add_row(); });
    tTracker.Close();
    ReplyOK(rx);
  });
}

void TSDM::SHOPPER_Summary(TRxTx& rx) {
  RunInFrame(rx, {"TSDM", "SHOPPER_Summary", TableNames({&tTracker}), {&tTracker}}, [&] {
    tTracker.Open();
    AddReply(rx, "SHOPPER\xA6SUMMARY");
    AddReply(rx, "DATA");
    TXbField& number = tTracker.FieldByName("ACCOUNTNUM");
    for (tTracker.First(); !tTracker.Eof(); tTracker.Next())
      AddReply(rx, Trim(number.AsString()) + "\xA6" + ShopperName(tTracker));
    AddReply(rx, kDataEnd);
    tTracker.Close();
    ReplyOK(rx);
  });
}

void TSDM::SHOPPER_Seq(TRxTx& rx) {
  static constexpr std::string_view kName = "SHOPPER_Seq";
  const TAwkParser& fields = rx.Parser();
  if (fields.FieldCount() != 3) {
    AddReply(rx, HandlerErrorLine("TSDM", kName,
                                  fields.FieldCount() < 3 ? "Syntax Error - No Shopper ID"
                                                          : "Syntax Error - Excess parameters"));
    return;
  }
  const std::string number = fields.Field(3);
  RunInFrame(rx, {"TSDM", kName, TableNames({&tTracker}), {&tTracker}}, [&] {
    tTracker.SetIndexName("TRAKNUM");
    tTracker.Open();
    AddReply(rx, "SHOPPER\xA6SEQ\xA6" + number);
    if (tTracker.Find(ShopperKey(number), true, false)) {
      Data().RLock(tTracker);
      tTracker.Edit();
      TXbField& sequence = tTracker.FieldByName("LST_PU_NUM");
      sequence.SetAsInteger(sequence.AsInteger() + 1);
      AddReply(rx, "SEQ\xA6" + std::to_string(sequence.AsInteger()));
      tTracker.Post();
      tTracker.Unlock();
    }
    tTracker.Close();
    ReplyOK(rx);
  });
}

}  // namespace fidora
