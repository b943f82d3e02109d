// CLUB SUMMARY: the code and description of every club.
#include "protocol/field_helpers.h"
#include "shopper/shopper_module.h"
#include "tables/handler_frame.h"

namespace fidora {

void TSDM::CLUB_Summary(TRxTx& rx) {
  RunInFrame(rx, {"TSDM", "CLUB_Summary", TableNames({&tClub}), {&tClub}}, [&] {
    tClub.Open();
    tClub.First();
    AddReply(rx, "CLUB\xA6SUMMARY");
    AddReply(rx, "DATA");
    TXbField& code = tClub.FieldByName("CLUB");
    TXbField& description = tClub.FieldByName("CLUBDESC");
    for (; !tClub.Eof(); tClub.Next())
      AddReply(rx, Trim(code.AsString()) + "\xA6" + Trim(description.AsString()));
    AddReply(rx,
             "\xA6"
             "DATA");
    tClub.Close();
    ReplyOK(rx);
  });
}

}  // namespace fidora
